#pragma once

#include <QString>

namespace platform {

/// Unmounts the file system mounted at `mountPath`, then powers off or ejects
/// its drive where the drive allows it. Acts only when `mountPath` is itself a
/// mount point, never on the file system that merely contains it, and never
/// forces a busy volume. Returns an empty text on success, else the reason.
QString unmountAndEject(const QString &mountPath);

} // namespace platform
