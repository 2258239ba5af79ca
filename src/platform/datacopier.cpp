#include "platform/datacopier.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kChunk = 1 << 30;

// The source was opened with O_NONBLOCK; a file system that honours it for
// regular files gets a blocking descriptor instead of a busy loop.
void blockingReads(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
}

} // namespace

int DataCopier::copy(int in, int out, std::int64_t expected, std::int64_t &copied)
{
    for (;;) {
        // The size read when the file was opened is what gets copied: no
        // call to find the end.
        if (expected >= 0 && copied >= expected) {
            return 0;
        }
        if (m_tryCopyFileRange) {
            const ssize_t moved = copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
            if (moved > 0) {
                copied += moved;
                continue;
            }
            if (moved == 0) {
                return 0;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF) {
                return errno;
            }
            // Across file systems (the usual case for a backup) the kernel
            // refuses; remember that for the rest of the run.
            m_tryCopyFileRange = false;
        }
        if (m_trySendfile) {
            const ssize_t moved = sendfile(out, in, nullptr, kChunk);
            if (moved > 0) {
                copied += moved;
                continue;
            }
            if (moved == 0) {
                return 0;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                blockingReads(in);
                continue;
            }
            if (errno != EINVAL && errno != ENOSYS) {
                return errno;
            }
            m_trySendfile = false;
        }
        if (m_buffer.empty()) {
            m_buffer.resize(1 << 20);
        }
        const ssize_t got = ::read(in, m_buffer.data(), m_buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                blockingReads(in);
                continue;
            }
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(out, m_buffer.data() + done, std::size_t(got - done));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            done += written;
        }
        copied += got;
    }
}

} // namespace platform
