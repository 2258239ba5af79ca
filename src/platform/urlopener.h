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

/// The opener in use: the desktop's, unless a test installed another.
UrlOpener &urlOpener();
/// Installs an opener for tests; nullptr restores the desktop's. Not owned.
void setUrlOpener(UrlOpener *opener);

} // namespace platform
