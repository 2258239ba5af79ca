#pragma once

#include "Moraine/kitservices.h"
#include "Moraine/update/rsakey.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

namespace moraine {

class NIMBLite;

/// What each update check takes from the application: the kit's services
/// (alerts, the browser), the update page's address and the key that signs
/// it (both set when launching has finished), and the window a manual check
/// shows while it waits. The application owns the one instance; a check
/// copies what it needs when it is made.
class UpdateServices : public QObject
{
    Q_OBJECT

public:
    /// The small window a manual check shows while it waits for the server;
    /// without one a manual check shows nothing while it waits.
    struct ProgressWindow
    {
        std::function<void(NIMBLite *check)> present;
        std::function<void()> dismiss;
    };

    /// Without kit services a check shows no alert and opens no page (tools).
    explicit UpdateServices(KitServices *kit = nullptr, QObject *parent = nullptr)
        : QObject(parent)
        , m_kit(kit)
    {
    }

    [[nodiscard]] KitServices *kit() const { return m_kit; }
    [[nodiscard]] std::optional<QString> updatePageURL() const { return m_updatePageURL; }
    void setUpdatePageURL(const std::optional<QString> &url) { m_updatePageURL = url; }
    [[nodiscard]] std::optional<RsaKey> publicKey() const { return m_publicKey; }
    void setPublicKey(const std::optional<RsaKey> &key) { m_publicKey = key; }
    [[nodiscard]] const ProgressWindow &progressWindow() const { return m_progressWindow; }
    void setProgressWindow(ProgressWindow window) { m_progressWindow = std::move(window); }

private:
    QPointer<KitServices> m_kit;
    std::optional<QString> m_updatePageURL;
    std::optional<RsaKey> m_publicKey;
    ProgressWindow m_progressWindow;
};

} // namespace moraine
