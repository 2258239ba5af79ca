#include "platform/urlopener.h"

namespace platform {
namespace {

// Without a desktop (vellory-cli) nothing can be opened.
class NoUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &) override { return false; }
    void revealInFileManager(const QString &) override {}
};

NoUrlOpener noOpener;
UrlOpener *desktopOpener = nullptr;
UrlOpener *installedOpener = nullptr;

} // namespace

UrlOpener &urlOpener()
{
    if (installedOpener) {
        return *installedOpener;
    }
    return desktopOpener ? *desktopOpener : noOpener;
}

void setUrlOpener(UrlOpener *opener)
{
    installedOpener = opener;
}

void setDesktopUrlOpener(UrlOpener *opener)
{
    desktopOpener = opener;
}

} // namespace platform
