#include "platform/volumelimits.h"

#include <QByteArray>
#include <QFile>

#include <QList>

#include <blkid/blkid.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <limits>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>

namespace platform {

namespace {

constexpr std::int64_t kFatLimit = 0xFFFFFFFFLL;
constexpr long kFuseMagic = 0x65735546;

constexpr long kExfatMagic = 0x2011BAB0;

// The file system type of a FUSE mount ("fuse.fusefat", "fuseblk", ...) and
// its source from the mount table line carrying its mount id.
QList<QByteArray> mountTypeAndSourceOf(int fd)
{
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID)) {
        return {};
    }
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray id = QByteArray::number(quint64(info.stx_mnt_id));
    for (const QByteArray &line : table.readAll().split('\n')) {
        if (!line.startsWith(id + ' ')) {
            continue;
        }
        const int separator = line.indexOf(" - ");
        if (separator < 0) {
            return {};
        }
        return line.mid(separator + 3).split(' ').mid(0, 2);
    }
    return {};
}

QByteArray fuseTypeOf(int fd)
{
    return mountTypeAndSourceOf(fd).value(0);
}

// What the superblock on `device` says the file system is.
QByteArray probedTypeOf(const QByteArray &device)
{
    if (!device.startsWith('/')) {
        return QByteArray();
    }
    blkid_probe probe = blkid_new_probe_from_filename(device.constData());
    if (!probe) {
        return QByteArray();
    }
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE);
    QByteArray type;
    const char *value = nullptr;
    if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 && value) {
        type = value;
    }
    blkid_free_probe(probe);
    return type;
}

bool isFatFamily(const QByteArray &type)
{
    return type.contains("fat") || type == "msdos";
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

bool foldsCase(int fd)
{
    struct statfs info {};
    if (fstatfs(fd, &info) != 0) {
        return false;
    }
    if (info.f_type == MSDOS_SUPER_MAGIC || info.f_type == kExfatMagic) {
        return true;
    }
    if (info.f_type == kFuseMagic) {
        const QList<QByteArray> mount = mountTypeAndSourceOf(fd);
        const QByteArray type = mount.value(0).toLower();
        if (type == "fuseblk") {
            // exfat-fuse and others name no subtype: ask the device.
            return isFatFamily(probedTypeOf(mount.value(1)).toLower());
        }
        return isFatFamily(type);
    }
    // The casefold attribute wants a descriptor open for reading.
    const int folder = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    int flags = 0;
    const bool folded = ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
    ::close(folder);
    return folded;
}

QString caseFoldingKey(QByteArrayView name)
{
    return QString::fromUtf8(name).toCaseFolded();
}

int openFileLimit()
{
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > (1u << 20)) {
        return 1 << 20;
    }
    return int(limit.rlim_cur);
}

int raiseOpenFileLimit()
{
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 1u << 20);
        (void)setrlimit(RLIMIT_NOFILE, &limit);
    }
    return openFileLimit();
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
