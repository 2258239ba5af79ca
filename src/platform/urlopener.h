#pragma once

#include <QString>
#include <QUrl>

namespace platform {

/// Opens addresses with the desktop: web pages in the default browser,
/// "mailto:" in the default mail program, and reveals files in the file
/// manager. Tests install a recorder so no browser or mail program starts.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    /// Returns whether the desktop accepted the request.
    virtual bool openUrl(const QUrl &url) = 0;
    /// Shows the item selected in the file manager (or opens its parent folder).
    virtual void revealInFileManager(const QString &path) = 0;
};

/// The opener in use: the desktop's, unless a test installed another; one
/// that opens nothing while no desktop's is set (vellory-cli).
UrlOpener &urlOpener();
/// Installs an opener for tests; nullptr restores the desktop's. Not owned.
void setUrlOpener(UrlOpener *opener);
/// The desktop's opener, which needs the graphical libraries: the
/// application sets it at start (installDesktopUrlOpener()). Not owned.
void setDesktopUrlOpener(UrlOpener *opener);

} // namespace platform
