#include "platform/restorewriter.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/openat2.h>
#include <random>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kTemporaryAttempts = 16;

RestoreResult failure(RestoreResult::Stage stage, int error)
{
    RestoreResult result;
    result.stage = stage;
    result.error = error;
    return result;
}

} // namespace

RestoreWriter::RestoreWriter()
    : m_random(std::random_device{}() | (std::uint64_t(std::random_device{}()) << 32) | 1)
    , m_umask(processUmask().value_or(022))
{
}

int RestoreWriter::openSource(int dirFd, const char *name, int flags) const
{
    // O_NOATIME keeps reading from touching the volume; only the owner of
    // a file (or a privileged process) may ask for it.
    if (m_tryNoAtime) {
        const int fd = ::openat(dirFd, name, flags | O_NOATIME);
        if (fd >= 0 || errno != EPERM) {
            return fd;
        }
        m_tryNoAtime = false;
    }
    return ::openat(dirFd, name, flags);
}

UniqueFd RestoreWriter::openVolumeFolder(int rootFd, const QByteArray &relativePath, int &error) const
{
    open_how how {};
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const char *path = relativePath.isEmpty() ? "." : relativePath.constData();
    for (bool noAtime : {true, false}) {
        if (noAtime && !m_tryNoAtime) {
            continue;
        }
        how.flags = std::uint64_t(O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noAtime ? O_NOATIME : 0));
        long fd;
        do {
            fd = syscall(SYS_openat2, rootFd, path, &how, sizeof how);
        } while (fd < 0 && errno == EAGAIN);
        if (fd >= 0) {
            error = 0;
            return UniqueFd(int(fd));
        }
        error = errno;
        if (error != EPERM || !noAtime) {
            break;
        }
        m_tryNoAtime = false;
    }
    if (error == ENAMETOOLONG) {
        // Longer than the kernel resolves at once: one folder at a time.
        UniqueFd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
        for (const QByteArray &part : relativePath.split('/')) {
            if (part.isEmpty() || part == ".") {
                continue;
            }
            if (part == ".." || !current) {
                error = part == ".." ? EXDEV : error;
                return UniqueFd();
            }
            current = openVolumeSubfolder(current.get(), part.constData(), error);
        }
        return current;
    }
    return UniqueFd();
}

UniqueFd RestoreWriter::openVolumeSubfolder(int dirFd, const char *name, int &error) const
{
    const int fd = openSource(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    error = fd < 0 ? errno : 0;
    return UniqueFd(fd);
}

bool RestoreWriter::readLink(int dirFd, const char *name, QByteArray &text)
{
    text.resize(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(dirFd, name, text.data(), std::size_t(text.size()));
    if (length < 0 || length >= text.size()) {
        text.clear();
        return false;
    }
    text.truncate(length);
    return true;
}

RestoreResult RestoreWriter::restore(int volumeDirFd, const char *name, FileType type, int localDirFd,
                                     const char *localName)
{
    switch (type) {
    case FileType::Regular:
        return restoreFile(volumeDirFd, name, localDirFd, localName);
    case FileType::Symlink:
        return restoreLink(volumeDirFd, name, localDirFd, localName);
    default:
        return failure(RestoreResult::Stage::Unsupported, 0);
    }
}

RestoreResult RestoreWriter::createTarget(int localDirFd, unsigned int mode, UniqueFd &target, QByteArray &temporary)
{
    // Written without a name, the file appears complete or not at all.
    if (m_tryUnnamed) {
        target.reset(::openat(localDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (!target && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            m_tryUnnamed = false;
        } else if (!target) {
            return failure(RestoreResult::Stage::Create, errno);
        }
    }
    if (!target) {
        for (int attempt = 0; attempt < kTemporaryAttempts && !target; ++attempt) {
            m_random ^= m_random << 13;
            m_random ^= m_random >> 7;
            m_random ^= m_random << 17;
            temporary = ".vellory-restore-" + QByteArray::number(quint64(m_random), 16) + ".tmp";
            target.reset(::openat(localDirFd, temporary.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!target && errno != EEXIST) {
                break;
            }
        }
        if (!target) {
            return failure(RestoreResult::Stage::Create, errno);
        }
    }
    return RestoreResult();
}

RestoreResult RestoreWriter::placeTemporary(int localDirFd, const QByteArray &temporary, const char *localName)
{
    // Never over an existing item: rename without replacing, or (where the
    // file system cannot) a hard link, which fails when the name is taken.
    int error = 0;
    if (::renameat2(localDirFd, temporary.constData(), localDirFd, localName, RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EINVAL || error == ENOSYS) {
            error = ::linkat(localDirFd, temporary.constData(), localDirFd, localName, 0) == 0 ? 0 : errno;
            ::unlinkat(localDirFd, temporary.constData(), 0);
        } else {
            ::unlinkat(localDirFd, temporary.constData(), 0);
        }
    }
    return error == 0 ? RestoreResult()
                      : failure(error == EEXIST ? RestoreResult::Stage::Exists : RestoreResult::Stage::Create, error);
}

RestoreResult RestoreWriter::restoreFile(int volumeDirFd, const char *name, int localDirFd, const char *localName)
{
    // O_NONBLOCK: an item that turned into a pipe since it was listed does
    // not make the open wait for a writer.
    UniqueFd source(openSource(volumeDirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!source) {
        return failure(RestoreResult::Stage::ReadSource, errno);
    }
    FileAttributes attributes;
    if (const int error = attributesOfFd(source.get(), attributes); error != 0) {
        return failure(RestoreResult::Stage::ReadSource, error);
    }
    if (attributes.type != FileType::Regular) {
        return failure(RestoreResult::Stage::Unsupported, 0);
    }
    // Only the permission bits: set-user-ID and the like from a volume are
    // never carried over.
    const unsigned int mode = m_keepPermissions ? (attributes.mode & 0777) : (0666 & ~m_umask);
    // Given at creation when the umask takes nothing away from it (and no
    // default ACL in the folder decides instead), saving a call per file.
    const bool modeAtCreation = m_folderKeepsCreationMode && (mode & m_umask) == 0;

    UniqueFd target;
    QByteArray temporary;
    if (const RestoreResult created = createTarget(localDirFd, modeAtCreation ? mode : 0600, target, temporary);
        !created.ok()) {
        return created;
    }
    auto abandon = [&](RestoreResult::Stage stage, int error) {
        target.reset();
        if (!temporary.isEmpty()) {
            ::unlinkat(localDirFd, temporary.constData(), 0);
        }
        return failure(stage, error);
    };

    std::int64_t copied = 0;
    if (const int error = m_data.copy(source.get(), target.get(), attributes.size, copied); error != 0) {
        return abandon(RestoreResult::Stage::Write, error);
    }
    if (!modeAtCreation && ::fchmod(target.get(), mode) != 0) {
        return abandon(RestoreResult::Stage::Write, errno);
    }
    const std::array<timespec, 2> times = timesOf(attributes);
    if (::futimens(target.get(), times.data()) != 0) {
        return abandon(RestoreResult::Stage::SetTimes, errno);
    }

    RestoreResult placed;
    if (temporary.isEmpty()) {
        placed = placeUnnamed(target.get(), localDirFd, localName);
        if (placed.stage == RestoreResult::Stage::Create && placed.error == ENOENT) {
            // Without /proc an unnamed file cannot be given a name: write
            // under a temporary name from now on.
            m_tryUnnamed = false;
            target.reset();
            return restoreFile(volumeDirFd, name, localDirFd, localName);
        }
    } else {
        placed = placeTemporary(localDirFd, temporary, localName);
    }
    if (const int error = target.close(); error != 0 && placed.ok()) {
        return failure(RestoreResult::Stage::Write, error);
    }
    placed.bytes = copied;
    return placed;
}

RestoreResult RestoreWriter::placeUnnamed(int fd, int localDirFd, const char *localName)
{
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, procPath.constData(), localDirFd, localName, AT_SYMLINK_FOLLOW) == 0) {
        return RestoreResult();
    }
    const int error = errno;
    return failure(error == EEXIST ? RestoreResult::Stage::Exists : RestoreResult::Stage::Create, error);
}

RestoreResult RestoreWriter::restoreLink(int volumeDirFd, const char *name, int localDirFd, const char *localName)
{
    FileAttributes attributes;
    if (const int error = attributesAt(volumeDirFd, name, attributes); error != 0) {
        return failure(RestoreResult::Stage::ReadSource, error);
    }
    QByteArray text;
    if (!readLink(volumeDirFd, name, text)) {
        return failure(RestoreResult::Stage::ReadSource, errno == 0 ? ENAMETOOLONG : errno);
    }
    // symlinkat never replaces: a taken name fails with EEXIST.
    if (::symlinkat(text.constData(), localDirFd, localName) != 0) {
        const int error = errno;
        return failure(error == EEXIST ? RestoreResult::Stage::Exists : RestoreResult::Stage::Create, error);
    }
    const std::array<timespec, 2> times = timesOf(attributes);
    RestoreResult result;
    if (::utimensat(localDirFd, localName, times.data(), AT_SYMLINK_NOFOLLOW) != 0) {
        result = failure(RestoreResult::Stage::SetTimes, errno);
    }
    result.bytes = text.size();
    return result;
}

void RestoreWriter::enterLocalFolder(int localDirFd)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(localDirFd);
    const ssize_t size = ::getxattr(path.constData(), "system.posix_acl_default", nullptr, 0);
    m_folderKeepsCreationMode = size < 0 && (errno == ENODATA || errno == EOPNOTSUPP);
}

UniqueFd RestoreWriter::openLocalFolder(int baseFd, const QByteArray &relativePath, bool create, int &error)
{
    UniqueFd current(::fcntl(baseFd, F_DUPFD_CLOEXEC, 0));
    error = current ? 0 : errno;
    for (const QByteArray &part : relativePath.split('/')) {
        if (!current) {
            return current;
        }
        if (part.isEmpty() || part == ".") {
            continue;
        }
        if (part == "..") {
            error = EXDEV;
            return UniqueFd();
        }
        int fd = ::openat(current.get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(current.get(), part.constData(), 0777) != 0 && errno != EEXIST) {
                error = errno;
                return UniqueFd();
            }
            fd = ::openat(current.get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0 && errno == ENOTDIR) {
            // Say which: a link and a file are both "not a folder" here.
            FileAttributes item;
            errno = attributesAt(current.get(), part.constData(), item) == 0 && item.type == FileType::Symlink ? ELOOP
                                                                                                            : ENOTDIR;
        }
        if (fd < 0) {
            error = errno;
            return UniqueFd();
        }
        current.reset(fd);
    }
    return current;
}

UniqueFd RestoreWriter::openLocalBase(const QByteArray &path, bool create, int &error)
{
    UniqueFd folder(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder || errno != ENOENT || !create) {
        error = folder ? 0 : errno;
        return folder;
    }
    // Make the missing folders from the deepest one that exists.
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        error = ENOENT;
        return UniqueFd();
    }
    UniqueFd parent = openLocalBase(slash == 0 ? QByteArray("/") : path.left(slash), true, error);
    if (!parent) {
        return parent;
    }
    const QByteArray name = path.mid(slash + 1);
    if (!name.isEmpty() && ::mkdirat(parent.get(), name.constData(), 0777) != 0 && errno != EEXIST) {
        error = errno;
        return UniqueFd();
    }
    folder.reset(::openat(parent.get(), name.isEmpty() ? "." : name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    error = folder ? 0 : errno;
    return folder;
}

} // namespace platform
