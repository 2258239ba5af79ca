#include "platform/fileattributes.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {

namespace {

constexpr unsigned int kWanted = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_INO;

FileType typeOf(unsigned int mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileType::Regular;
    case S_IFDIR:
        return FileType::Directory;
    case S_IFLNK:
        return FileType::Symlink;
    case S_IFIFO:
        return FileType::Fifo;
    case S_IFSOCK:
        return FileType::Socket;
    case S_IFCHR:
        return FileType::CharacterDevice;
    case S_IFBLK:
        return FileType::BlockDevice;
    default:
        return FileType::Unknown;
    }
}

int fill(int dirFd, const char *name, int flags, FileAttributes &out)
{
    struct statx info {};
    if (statx(dirFd, name, flags | AT_STATX_SYNC_AS_STAT, kWanted, &info) != 0) {
        return errno;
    }
    out.type = typeOf(info.stx_mode);
    out.mode = info.stx_mode & 07777;
    out.size = std::int64_t(info.stx_size);
    out.mtimeSeconds = info.stx_mtime.tv_sec;
    out.mtimeNanoseconds = info.stx_mtime.tv_nsec;
    out.atimeSeconds = info.stx_atime.tv_sec;
    out.atimeNanoseconds = info.stx_atime.tv_nsec;
    out.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    out.inode = info.stx_ino;
    return 0;
}

} // namespace

int attributesAt(int dirFd, const char *name, FileAttributes &out)
{
    return fill(dirFd, name, AT_SYMLINK_NOFOLLOW, out);
}

int attributesOfPath(const char *path, bool followLink, FileAttributes &out)
{
    return fill(AT_FDCWD, path, followLink ? 0 : AT_SYMLINK_NOFOLLOW, out);
}

int attributesOfFd(int fd, FileAttributes &out)
{
    return fill(fd, "", AT_EMPTY_PATH, out);
}

std::array<timespec, 2> timesOf(const FileAttributes &attributes)
{
    timespec access {};
    access.tv_sec = attributes.atimeSeconds;
    access.tv_nsec = long(attributes.atimeNanoseconds);
    timespec modification {};
    modification.tv_sec = attributes.mtimeSeconds;
    modification.tv_nsec = long(attributes.mtimeNanoseconds);
    return {access, modification};
}

std::optional<unsigned int> processUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) {
                    return mask & 0777;
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace platform
