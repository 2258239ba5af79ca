#include "platform/directoryops.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

OpenResult fromCall(int fd)
{
    OpenResult result;
    if (fd < 0) {
        result.error = errno;
    } else {
        result.fd.reset(fd);
    }
    return result;
}

int openBeneath(int rootFd, const char *relativePath, int flags, bool sameMount = true)
{
    open_how how {};
    how.flags = std::uint64_t(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | (sameMount ? RESOLVE_NO_XDEV : 0);
    long fd;
    do {
        fd = syscall(SYS_openat2, rootFd, relativePath, &how, sizeof how);
    } while (fd < 0 && errno == EAGAIN);
    return int(fd);
}

} // namespace

OpenResult openDirectory(const QByteArray &path)
{
    return fromCall(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

OpenResult openSubdirectory(int dirFd, const char *name)
{
    return fromCall(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

OpenResult openSubdirectoryHandle(int dirFd, const char *name)
{
    return fromCall(::openat(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

OpenResult openSubdirectoryPath(int rootFd, const QByteArray &relativePath)
{
    const char *path = relativePath.isEmpty() ? "." : relativePath.constData();
    OpenResult whole = fromCall(openBeneath(rootFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC, false));
    if (whole.fd || whole.error != ENAMETOOLONG) {
        return whole;
    }
    // Longer than the kernel takes at once: one folder at a time.
    OpenResult current = fromCall(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    for (const QByteArray &part : relativePath.split('/')) {
        if (!current.fd) {
            break;
        }
        if (part.isEmpty() || part == ".") {
            continue;
        }
        if (part == "..") {
            return OpenResult{UniqueFd(), EXDEV};
        }
        current = openSubdirectory(current.fd.get(), part.constData());
    }
    return current;
}

OpenResult openDirectoryBeneath(int rootFd, const QByteArray &relativePath)
{
    const char *path = relativePath.isEmpty() ? "." : relativePath.constData();
    return fromCall(openBeneath(rootFd, path, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

OpenResult makeDirectoriesBeneath(int rootFd, const QByteArray &relativePath, QByteArray *failedAt, bool *madeLast)
{
    bool made = false;
    OpenResult whole = openDirectoryBeneath(rootFd, relativePath);
    if (whole.fd || whole.error != ENOENT) {
        if (!whole.fd && failedAt) {
            *failedAt = relativePath;
        }
        return whole;
    }
    // Walk down one component at a time, creating what is missing.
    OpenResult current = fromCall(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!current.fd) {
        return current;
    }
    QByteArray walked;
    for (const QByteArray &part : relativePath.split('/')) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        walked += walked.isEmpty() ? part : "/" + part;
        if (part == "..") {
            if (failedAt) {
                *failedAt = walked;
            }
            return OpenResult{UniqueFd(), EXDEV};
        }
        OpenResult next = openSubdirectoryHandle(current.fd.get(), part.constData());
        made = false;
        if (!next.fd && next.error == ENOENT) {
            made = ::mkdirat(current.fd.get(), part.constData(), 0777) == 0;
            if (!made && errno != EEXIST) {
                if (failedAt) {
                    *failedAt = walked;
                }
                return OpenResult{UniqueFd(), errno};
            }
            next = openSubdirectoryHandle(current.fd.get(), part.constData());
        }
        if (!next.fd) {
            if (failedAt) {
                *failedAt = walked;
            }
            return next;
        }
        current = std::move(next);
    }
    // Open the result the strict way, so a mount or link met on the way fails.
    OpenResult result = openDirectoryBeneath(rootFd, relativePath);
    if (!result.fd && failedAt) {
        *failedAt = relativePath;
    }
    if (result.fd && madeLast) {
        *madeLast = made;
    }
    return result;
}

OpenResult openMountRoot(const QByteArray &path)
{
    if (path.isEmpty()) {
        return OpenResult{UniqueFd(), ENOENT};
    }
    OpenResult result = fromCall(::open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!result.fd) {
        return result;
    }
    struct statx info {};
    if (statx(result.fd.get(), "", AT_EMPTY_PATH, STATX_TYPE, &info) != 0) {
        return OpenResult{UniqueFd(), errno};
    }
    bool mountRoot = false;
    if (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        mountRoot = (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    } else {
        struct stat self {};
        struct stat parent {};
        mountRoot = fstat(result.fd.get(), &self) == 0 && fstatat(result.fd.get(), "..", &parent, 0) == 0
            && (self.st_dev != parent.st_dev || self.st_ino == parent.st_ino);
    }
    if (!mountRoot) {
        return OpenResult{UniqueFd(), ENOTDIR};
    }
    return result;
}

} // namespace platform
