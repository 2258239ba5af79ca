#include "backup/backupvolume.h"

#include "platform/directoryops.h"
#include "platform/volumelimits.h"

#include <QFile>

#include <cerrno>

BackupVolume::BackupVolume(const QString &volumePath, const RunServices &machine)
    : m_path(volumePath)
    , m_isMountPoint(machine.isMountPoint)
    , m_rootRelative("Vellory/" + QFile::encodeName(machine.computerName()))
{
    if (!m_isMountPoint(volumePath)) {
        return;
    }
    platform::OpenResult root = machine.openVolumeRoot(QFile::encodeName(volumePath));
    if (!root.fd || platform::attributesOfFd(root.fd.get(), m_root) != 0) {
        return;
    }
    m_fd = std::move(root.fd);
    m_flusher = std::make_unique<platform::VolumeFlusher>(m_fd.get());
    m_maximumFileSize = platform::maximumFileSize(m_fd.get());
}

bool BackupVolume::isReachable() const
{
    return m_fd.isValid() && m_isMountPoint(m_path);
}

QByteArray BackupVolume::nativePath() const
{
    return QFile::encodeName(m_path);
}

QByteArray BackupVolume::targetPathOf(const QByteArray &sourcePath) const
{
    if (sourcePath == "/") {
        return m_rootRelative;
    }
    return m_rootRelative + sourcePath;
}

bool BackupVolume::isVolumeRoot(const platform::FileAttributes &folder) const
{
    return m_fd.isValid() && folder.device == m_root.device && folder.inode == m_root.inode;
}

std::int64_t BackupVolume::availableBytes() const
{
    return m_fd.isValid() ? platform::availableBytes(m_fd.get()) : -1;
}

int BackupVolume::flush() const
{
    return m_flusher ? m_flusher->flush() : ENOTCONN;
}
