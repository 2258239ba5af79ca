#include "platform/filecopier.h"

#include "platform/uniquefd.h"


#include <algorithm>
#include <cerrno>
#include <climits>
#include <functional>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kTemporaryAttempts = 16;

CopyResult failure(CopyStage stage, int error)
{
    CopyResult result;
    result.stage = stage;
    result.error = error;
    return result;
}

} // namespace

FileCopier::FileCopier()
    : m_random(std::random_device{}() | (std::uint64_t(std::random_device{}()) << 32) | 1)
    // All bits when the umask cannot be read: every copy then gets its bits
    // set explicitly.
    , m_creationMask(processUmask().value_or(0777))
{
}

void FileCopier::enterTargetFolder(int targetDirFd)
{
    // A default ACL, not the umask, decides the bits of a file created in
    // that folder; such a folder's copies get their bits set explicitly.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(targetDirFd);
    const ssize_t size = ::getxattr(path.constData(), "system.posix_acl_default", nullptr, 0);
    m_folderKeepsCreationMode = size < 0 && (errno == ENODATA || errno == EOPNOTSUPP);
}

bool FileCopier::isTemporaryName(QByteArrayView name)
{
    if (name.size() != temporaryPrefix.size() + temporaryTokenLength + temporarySuffix.size()
        || !name.startsWith(temporaryPrefix) || !name.endsWith(temporarySuffix)) {
        return false;
    }
    const QByteArrayView token = name.sliced(temporaryPrefix.size(), temporaryTokenLength);
    return std::all_of(token.begin(), token.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::uint64_t FileCopier::nextToken()
{
    // xorshift: cheap and unpredictable enough to avoid clashing with
    // another run that writes into the same folder.
    m_random ^= m_random << 13;
    m_random ^= m_random >> 7;
    m_random ^= m_random << 17;
    return m_random;
}

QByteArray FileCopier::temporaryName(std::uint64_t token)
{
    QByteArray hex = QByteArray::number(quint64(token), 16);
    hex.prepend(QByteArray(temporaryTokenLength - hex.size(), '0'));
    return temporaryPrefix.toByteArray() + hex + temporarySuffix.toByteArray();
}

CopyResult FileCopier::copy(int sourceDirFd, const char *name, FileType type, int targetDirFd, const char *targetName,
                            bool replacing)
{
    switch (type) {
    case FileType::Regular:
        return copyRegular(sourceDirFd, name, targetDirFd, targetName, replacing);
    case FileType::Symlink:
        return copySymlink(sourceDirFd, name, targetDirFd, targetName);
    case FileType::Directory:
        return failure(CopyStage::Unsupported, EISDIR);
    default:
        return failure(CopyStage::Unsupported, 0);
    }
}


CopyResult FileCopier::openSourceFile(int sourceDirFd, const char *name, UniqueFd &source, FileAttributes &attributes)
{
    // O_NONBLOCK: should the item have turned into a pipe since the scan,
    // opening it still does not wait for a writer.
    source.reset(::openat(sourceDirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!source) {
        return failure(CopyStage::ReadSource, errno);
    }
    if (const int error = attributesOfFd(source.get(), attributes); error != 0) {
        return failure(CopyStage::ReadSource, error);
    }
    if (attributes.type != FileType::Regular) {
        return failure(CopyStage::Unsupported, 0);
    }
    if (attributes.size > m_maximumFileSize) {
        return failure(CopyStage::TooLarge, EFBIG);
    }
    // O_NONBLOCK stays: reading a regular file never waits for it, so no
    // call is spent per file on clearing it (the data copier does, should a file
    // system answer EAGAIN after all).
    return CopyResult();
}

CopyResult FileCopier::createTemporary(int targetDirFd, unsigned int mode, UniqueFd &target, QByteArray &temporary,
                                       std::uint64_t &token)
{
    for (int attempt = 0; attempt < kTemporaryAttempts && !target; ++attempt) {
        token = nextToken();
        temporary = temporaryName(token);
        target.reset(::openat(targetDirFd, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              mode));
        if (!target && errno != EEXIST) {
            break;
        }
    }
    if (!target) {
        return failure(CopyStage::CreateTemporary, errno);
    }
    // Held while the copy is unfinished, so a cleanup by another run leaves
    // this file alone.
    ::flock(target.get(), LOCK_EX | LOCK_NB);
    return CopyResult();
}

bool FileCopier::createUnnamed(int targetDirFd, unsigned int mode, UniqueFd &target)
{
    if (!m_unnamedCopies) {
        return false;
    }
    target.reset(::openat(targetDirFd, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, mode));
    if (target) {
        return true;
    }
    // A file system without unnamed files (the FAT family, exFAT, most user
    // space ones) says so on every try; other failures show again, and are
    // reported, with the named file this copy falls back to.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        m_unnamedCopies = false;
    }
    return false;
}

CopyResult FileCopier::copyRegular(int sourceDirFd, const char *name, int targetDirFd, const char *targetName,
                                   bool replacing)
{
    UniqueFd source;
    FileAttributes attributes;
    if (const CopyResult opened = openSourceFile(sourceDirFd, name, source, attributes); !opened.ok()) {
        return opened;
    }

    // Permission bits where the file system keeps them (FAT does not): given
    // at creation when nothing takes any away, else set once written.
    const unsigned int mode = attributes.mode & 0777;
    const bool modeAtCreation = m_folderKeepsCreationMode && (mode & m_creationMask) == 0;
    const unsigned int creationMode = modeAtCreation ? mode : 0600;
    QByteArray temporary;
    std::uint64_t token = 0;
    UniqueFd target;
    // A replacing copy keeps the rename: it must take the old copy's place
    // in one step.
    const bool unnamed = m_deferPlacement && !replacing && createUnnamed(targetDirFd, creationMode, target);
    if (!unnamed) {
        if (const CopyResult created = createTemporary(targetDirFd, creationMode, target, temporary, token);
            !created.ok()) {
            return created;
        }
    }

    auto abandon = [&](CopyStage stage, int error) {
        target.reset();
        if (!unnamed) {
            ::unlinkat(targetDirFd, temporary.constData(), 0);
        }
        return failure(stage, error);
    };

    std::int64_t copied = 0;
    if (const int error = m_data.copy(source.get(), target.get(), attributes.size > 0 ? attributes.size : -1, copied); error != 0) {
        return abandon(CopyStage::Write, error);
    }
    if (!modeAtCreation) {
        ::fchmod(target.get(), mode);
    }
    const std::array<timespec, 2> times = timesOf(attributes);
    if (::futimens(target.get(), times.data()) != 0) {
        return abandon(CopyStage::SetTimes, errno);
    }
    if (unnamed) {
        CopyResult pending;
        pending.bytesCopied = copied;
        pending.pendingFd = target.release();
        return pending;
    }
    // A copy must not carry its name (and the source's size and time) before
    // its data is on the medium: its data is flushed first, here or,
    // deferred, with the whole volume at once. Without deferral a new file
    // goes without: a power loss leaves it missing or incomplete, and the
    // next run copies it again.
    const bool defer = m_deferPlacement;
    if (replacing && !defer && ::fdatasync(target.get()) != 0) {
        return abandon(CopyStage::Write, errno);
    }
    if (const int error = target.close(); error != 0) {
        ::unlinkat(targetDirFd, temporary.constData(), 0);
        return failure(CopyStage::Write, error);
    }
    if (defer) {
        CopyResult pending;
        pending.bytesCopied = copied;
        pending.pendingToken = token;
        return pending;
    }
    CopyResult result = placeTemporary(targetDirFd, temporary, targetName);
    result.bytesCopied = copied;
    return result;
}

CopyResult FileCopier::copySymlink(int sourceDirFd, const char *name, int targetDirFd, const char *targetName)
{
    FileAttributes attributes;
    if (const int error = attributesAt(sourceDirFd, name, attributes); error != 0) {
        return failure(CopyStage::ReadSource, error);
    }
    if (attributes.type != FileType::Symlink) {
        return failure(CopyStage::Unsupported, 0);
    }
    QByteArray link(PATH_MAX + 1, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(sourceDirFd, name, link.data(), std::size_t(link.size()));
    if (length < 0) {
        return failure(CopyStage::ReadSource, errno);
    }
    if (length >= link.size()) {
        return failure(CopyStage::ReadSource, ENAMETOOLONG);
    }
    link.truncate(length);

    QByteArray temporary;
    std::uint64_t token = 0;
    int error = EEXIST;
    for (int attempt = 0; attempt < kTemporaryAttempts && error == EEXIST; ++attempt) {
        token = nextToken();
        temporary = temporaryName(token);
        error = ::symlinkat(link.constData(), targetDirFd, temporary.constData()) == 0 ? 0 : errno;
    }
    if (error != 0) {
        return failure(CopyStage::CreateTemporary, error);
    }
    const std::array<timespec, 2> times = timesOf(attributes);
    if (::utimensat(targetDirFd, temporary.constData(), times.data(), AT_SYMLINK_NOFOLLOW) != 0) {
        const int timeError = errno;
        ::unlinkat(targetDirFd, temporary.constData(), 0);
        return failure(CopyStage::SetTimes, timeError);
    }
    if (m_deferPlacement) {
        CopyResult pending;
        pending.bytesCopied = length;
        pending.pendingToken = token;
        return pending;
    }
    CopyResult result = placeTemporary(targetDirFd, temporary, targetName);
    result.bytesCopied = length;
    return result;
}

CopyResult FileCopier::placeTemporary(int targetDirFd, const QByteArray &temporary, const char *targetName)
{
    if (::renameat(targetDirFd, temporary.constData(), targetDirFd, targetName) == 0) {
        return CopyResult();
    }
    int error = errno;
    if (error == EEXIST) {
        // A file system that will not rename over an existing file: the old
        // copy goes only now that the new one is complete.
        if (::unlinkat(targetDirFd, targetName, 0) != 0) {
            error = errno;
            ::unlinkat(targetDirFd, temporary.constData(), 0);
            return failure(CopyStage::RemoveOld, error);
        }
        if (::renameat(targetDirFd, temporary.constData(), targetDirFd, targetName) == 0) {
            return CopyResult();
        }
        error = errno;
    }
    ::unlinkat(targetDirFd, temporary.constData(), 0);
    return failure(CopyStage::Rename, error);
}

CopyResult FileCopier::placeUnnamed(int fd, int targetDirFd, const char *targetName)
{
    UniqueFd file(fd);
    // Linking a descriptor by an empty path needs a privilege on older
    // kernels (they answer ENOENT); its /proc entry links the same file
    // without.
    auto link = [&](const char *name) {
        if (::linkat(fd, "", targetDirFd, name, AT_EMPTY_PATH) == 0) {
            return 0;
        }
        if (errno != ENOENT) {
            return errno;
        }
        const QByteArray viaProc = "/proc/self/fd/" + QByteArray::number(fd);
        return ::linkat(AT_FDCWD, viaProc.constData(), targetDirFd, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    };
    int error = link(targetName);
    if (error == EEXIST) {
        // Something took the name since the scan: the copy replaces it in
        // one step, as a waiting named copy's rename would.
        const std::uint64_t token = (std::uint64_t(fd) << 32) ^ std::hash<std::string_view>{}(targetName);
        QByteArray temporary;
        for (int attempt = 0; attempt < kTemporaryAttempts && error == EEXIST; ++attempt) {
            temporary = temporaryName((token + std::uint64_t(attempt)) | 1);
            error = link(temporary.constData());
        }
        if (error == 0) {
            return placeTemporary(targetDirFd, temporary, targetName);
        }
    }
    return error == 0 ? CopyResult() : failure(CopyStage::Rename, error);
}

int FileCopier::removeStaleTemporaries(int targetDirFd, int sourceDirFd)
{
    UniqueFd folder(::openat(targetDirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || m_reader.read(folder.get(), m_listing) != 0) {
        return 0;
    }
    int removed = 0;
    for (std::size_t i = 0; i < m_listing.size(); ++i) {
        if (!isTemporaryName(m_listing.name(i))) {
            continue;
        }
        const char *name = m_listing.cName(i);
        // A file of the user's that happens to look like a temporary one
        // is a copy like any other.
        struct stat original {};
        if (sourceDirFd < 0 || ::fstatat(sourceDirFd, name, &original, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) {
            continue;
        }
        UniqueFd item(::openat(folder.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (item && ::flock(item.get(), LOCK_EX | LOCK_NB) != 0) {
            continue; // another copy is still writing it
        }
        if (!item && errno != ELOOP) {
            continue;
        }
        if (::unlinkat(folder.get(), name, 0) == 0) {
            ++removed;
        }
    }
    m_listing.clear();
    return removed;
}

} // namespace platform
