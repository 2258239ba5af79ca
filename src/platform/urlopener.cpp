#include "platform/urlopener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>

namespace platform {
namespace {

class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override { return QDesktopServices::openUrl(url); }

    void revealInFileManager(const QString &path) override
    {
        // The freedesktop file-manager interface selects the item; without a
        // file manager on the session bus, open the folder that holds it.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        }
    }
};

DesktopUrlOpener &desktopOpener()
{
    static DesktopUrlOpener opener;
    return opener;
}

UrlOpener *installedOpener = nullptr;

} // namespace

UrlOpener &urlOpener()
{
    return installedOpener ? *installedOpener : desktopOpener();
}

void setUrlOpener(UrlOpener *opener)
{
    installedOpener = opener;
}

} // namespace platform
