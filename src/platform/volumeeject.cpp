#include "platform/volumeeject.h"

#include "platform/mountpoint.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace platform {

QString unmountAndEject(const QString &mountPath)
{
    if (!isMountPoint(mountPath)) {
        return QStringLiteral("%1 is not a mounted volume").arg(mountPath);
    }
    // No MNT_FORCE / MNT_DETACH: a busy volume stays mounted.
    if (umount2(QFile::encodeName(mountPath).constData(), 0) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString();
}

} // namespace platform
