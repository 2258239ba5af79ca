#include "platform/contentcomparer.h"

#include "platform/uniquefd.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kChunk = 1 << 20;
// The compare rules' margin: a file newer than its copy by more than this
// is due for a backup, and its copy is not wrong.
constexpr double kNewerBy = 10.0;

// Reads until `buffer` is full or the file ends; the bytes read or -1.
ssize_t readFully(int fd, char *buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += std::size_t(got);
    }
    return ssize_t(done);
}

bool changedSince(const FileAttributes &now, const FileAttributes &copy)
{
    return now.size != copy.size || now.secondsNewerThan(copy) > kNewerBy;
}

} // namespace

int openForReading(int dirFd, const char *name)
{
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::openat(dirFd, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::openat(dirFd, name, flags); // not the file's owner
    }
    return fd;
}

bool dropDeviceCache(int dirFd)
{
    struct stat info {};
    if (::fstat(dirFd, &info) != 0) {
        return false;
    }
    const QByteArray device = "/dev/block/" + QByteArray::number(major(info.st_dev)) + ':'
        + QByteArray::number(minor(info.st_dev));
    const UniqueFd fd(::open(device.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    struct stat node {};
    return ::fstat(fd.get(), &node) == 0 && S_ISBLK(node.st_mode)
        && ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED) == 0;
}

ContentComparer::ContentComparer()
    : m_source(kChunk)
    , m_copy(kChunk)
{
}

Comparison ContentComparer::compare(int sourceDirFd, int copyDirFd, const char *name, FileType type)
{
    return type == FileType::Symlink ? compareLink(sourceDirFd, copyDirFd, name)
                                     : compareRegular(sourceDirFd, copyDirFd, name);
}

Comparison ContentComparer::compareRegular(int sourceDirFd, int copyDirFd, const char *name)
{
    Comparison result;
    const UniqueFd copy(openForReading(copyDirFd, name));
    FileAttributes copyAttributes;
    if (!copy || attributesOfFd(copy.get(), copyAttributes) != 0) {
        result.kind = Comparison::Kind::CopyUnreadable;
        result.error = errno;
        return result;
    }
    const UniqueFd source(openForReading(sourceDirFd, name));
    FileAttributes before;
    if (!source || attributesOfFd(source.get(), before) != 0) {
        result.kind = Comparison::Kind::SourceUnreadable;
        result.error = errno;
        return result;
    }
    if (before.type != FileType::Regular || changedSince(before, copyAttributes)) {
        result.kind = Comparison::Kind::SourceChanged;
        return result;
    }
    // What the device holds, not what was written through the cache.
    ::posix_fadvise(copy.get(), 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(copy.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    for (;;) {
        const ssize_t fromSource = readFully(source.get(), m_source.data(), m_source.size());
        if (fromSource < 0) {
            result.kind = Comparison::Kind::SourceUnreadable;
            result.error = errno;
            return result;
        }
        const ssize_t fromCopy = readFully(copy.get(), m_copy.data(), m_copy.size());
        if (fromCopy < 0) {
            result.kind = Comparison::Kind::CopyUnreadable;
            result.error = errno;
            return result;
        }
        result.bytes += fromCopy;
        if (fromSource != fromCopy || std::memcmp(m_source.data(), m_copy.data(), std::size_t(fromCopy)) != 0) {
            result.kind = Comparison::Kind::Differs;
            break;
        }
        if (fromCopy == 0) {
            break;
        }
    }
    // A file written to while it was read is due for a backup, not proof
    // of a bad copy.
    FileAttributes after;
    if (result.kind == Comparison::Kind::Differs
        && (attributesOfFd(source.get(), after) != 0 || after.mtimeSeconds != before.mtimeSeconds
            || after.mtimeNanoseconds != before.mtimeNanoseconds || after.size != before.size)) {
        result.kind = Comparison::Kind::SourceChanged;
    }
    return result;
}

Comparison ContentComparer::compareLink(int sourceDirFd, int copyDirFd, const char *name)
{
    Comparison result;
    auto readLink = [](int dirFd, const char *linkName, QByteArray &text) {
        text.resize(PATH_MAX + 1);
        const ssize_t length = ::readlinkat(dirFd, linkName, text.data(), std::size_t(text.size()));
        if (length < 0 || length > PATH_MAX) {
            return length < 0 ? errno : ENAMETOOLONG;
        }
        text.truncate(length);
        return 0;
    };
    QByteArray copyText;
    QByteArray sourceText;
    if (const int error = readLink(copyDirFd, name, copyText); error != 0) {
        result.kind = Comparison::Kind::CopyUnreadable;
        result.error = error;
    } else if (const int sourceError = readLink(sourceDirFd, name, sourceText); sourceError != 0) {
        result.kind = sourceError == EINVAL ? Comparison::Kind::SourceChanged : Comparison::Kind::SourceUnreadable;
        result.error = sourceError;
    } else if (copyText != sourceText) {
        result.kind = Comparison::Kind::Differs;
    }
    result.bytes = copyText.size();
    return result;
}

} // namespace platform
