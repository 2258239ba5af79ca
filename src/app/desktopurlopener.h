#pragma once

#include "platform/urlopener.h"

namespace platform {

/// The desktop's way to open addresses (default browser and mail program)
/// and to reveal files (the file manager). The application makes one.
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
    void revealInFileManager(const QString &path) override;
};

} // namespace platform
