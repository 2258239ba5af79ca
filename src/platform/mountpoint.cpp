#include "platform/mountpoint.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

bool isMountPoint(const QString &path)
{
    if (path.isEmpty()) {
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    struct statx info {};
    if (statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.stx_mode)) {
        return false;
    }
    if (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    // Older kernels: a mount root sits on another device than its parent.
    struct stat self {};
    struct stat parent {};
    if (stat(native.constData(), &self) != 0 || stat((native + "/..").constData(), &parent) != 0) {
        return false;
    }
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

} // namespace platform
