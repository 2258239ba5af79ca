#pragma once

#include "volumes/mountinfo.h"

#include <QString>
#include <QStringList>

namespace volumes {

/// A file system reached over the network (NFS, SMB, SSH, WebDAV, …).
[[nodiscard]] bool isNetworkFileSystem(const QString &fileSystemType);

/// A folder where the system mounts its own file systems (/boot, /var, /proc,
/// /run except removable media, …), or exactly /home or /tmp when they are
/// partitions of their own. A volume mounted below /home, /tmp, /mnt or
/// /media is not a system mount.
[[nodiscard]] bool isSystemMountPoint(const QString &mountPoint);

/// Whether a file manager shows this mount as a volume ("browsable"): a real
/// block device (`onBlockDevice`) or a network file system, with all of the
/// file system mounted (not a bind mount of one of its folders), outside the
/// system's own mount points, and not hidden with "x-gvfs-hide". Pseudo file
/// systems (proc, tmpfs, overlay, fuse without a device, …) have no block
/// device and are never shown. "x-gvfs-show" shows a device or share mounted
/// in a system place. `userOptions` are the options user space keeps for the
/// mount point (fstab, the mount helper's table).
[[nodiscard]] bool isShownByFileManager(const MountInfoEntry &entry, bool onBlockDevice,
                                        const QStringList &userOptions);

} // namespace volumes
