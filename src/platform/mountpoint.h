#pragma once

#include <QString>

namespace platform {

/// True when `path` is itself the root of a mounted file system (not merely a
/// folder inside one). A leftover folder where a volume used to be mounted is
/// not a mount point.
[[nodiscard]] bool isMountPoint(const QString &path);

} // namespace platform
