#include "platform/volumeflusher.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr long kFuseSuperMagic = 0x65735546;

} // namespace

VolumeFlusher::VolumeFlusher(int dirFd)
{
    // syncfs() and fsync() want a descriptor opened for reading.
    m_fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    struct statfs fs {};
    if (::fstatfs(m_fd, &fs) == 0 && long(fs.f_type) == kFuseSuperMagic) {
        m_userSpace = true;
        // On fuseblk the file system's device number is its block device's.
        struct stat root {};
        if (::fstat(m_fd, &root) == 0 && deviceFlushCount(int(major(root.st_dev)), int(minor(root.st_dev))) >= 0) {
            m_deviceMajor = int(major(root.st_dev));
            m_deviceMinor = int(minor(root.st_dev));
        }
    }
}

VolumeFlusher::~VolumeFlusher()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int VolumeFlusher::flush() const
{
    if (m_fd < 0) {
        return EBADF;
    }
    if (::syncfs(m_fd) != 0) {
        return errno;
    }
    if (!m_userSpace) {
        return 0;
    }
    const std::int64_t before = m_deviceMajor >= 0 ? deviceFlushCount(m_deviceMajor, m_deviceMinor) : -1;
    // An fsync of the root folder reaches the process's handler for folders,
    // which flushes the whole file system and its device.
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        return errno;
    }
    if (before >= 0 && deviceFlushCount(m_deviceMajor, m_deviceMinor) == before) {
        m_missedDevice.store(true, std::memory_order_relaxed);
    }
    return 0;
}

std::int64_t deviceFlushCount(int major, int minor)
{
    // /sys/dev/block/M:m/stat: the 16th field counts completed flush requests.
    QFile stat(QStringLiteral("/sys/dev/block/%1:%2/stat").arg(major).arg(minor));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
    if (fields.size() < 16) {
        return -1;
    }
    bool ok = false;
    const qint64 count = fields.at(15).toLongLong(&ok);
    return ok ? count : -1;
}

} // namespace platform
