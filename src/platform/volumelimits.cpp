#include "platform/volumelimits.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <limits>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>

namespace platform {

namespace {

constexpr std::int64_t kFatLimit = 0xFFFFFFFFLL;
constexpr long kFuseMagic = 0x65735546;

// The file system type of a FUSE mount ("fuse.fusefat", "fuseblk", ...) from
// the mount table line carrying its mount id.
QByteArray fuseTypeOf(int fd)
{
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID)) {
        return QByteArray();
    }
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    const QByteArray id = QByteArray::number(quint64(info.stx_mnt_id));
    for (const QByteArray &line : table.readAll().split('\n')) {
        if (!line.startsWith(id + ' ')) {
            continue;
        }
        const int separator = line.indexOf(" - ");
        if (separator < 0) {
            return QByteArray();
        }
        return line.mid(separator + 3).split(' ').value(0);
    }
    return QByteArray();
}

} // namespace

std::int64_t maximumFileSize(int fd)
{
    struct statfs info {};
    if (fstatfs(fd, &info) != 0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (info.f_type == MSDOS_SUPER_MAGIC) {
        return kFatLimit;
    }
    if (info.f_type == kFuseMagic) {
        const QByteArray type = fuseTypeOf(fd).toLower();
        if (type.contains("fat") && !type.contains("exfat")) {
            return kFatLimit;
        }
    }
    return std::numeric_limits<std::int64_t>::max();
}

std::int64_t availableBytes(int fd)
{
    struct statvfs info {};
    if (fstatvfs(fd, &info) != 0) {
        return -1;
    }
    return std::int64_t(info.f_bavail) * std::int64_t(info.f_frsize);
}

} // namespace platform
