#pragma once

#include <QString>
#include <QUrl>

namespace platform {

/// Opens addresses with the desktop: web pages in the default browser,
/// "mailto:" in the default mail program, and reveals files in the file
/// manager. The application makes the desktop's and hands it to the objects
/// that open addresses; tests hand them a recorder.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    /// Returns whether the desktop accepted the request.
    virtual bool openUrl(const QUrl &url) = 0;
    /// Shows the item selected in the file manager (or opens its parent folder).
    virtual void revealInFileManager(const QString &path) = 0;
};

} // namespace platform
