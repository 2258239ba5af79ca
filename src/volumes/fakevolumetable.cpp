#include "volumes/fakevolumetable.h"

#include <QDir>
#include <QMutexLocker>

namespace volumes {

void FakeVolumeTable::mount(const MountedVolume &volume)
{
    QMutexLocker locker(&m_lock);
    for (MountedVolume &existing : m_volumes) {
        if (existing.mountPath == volume.mountPath) {
            existing = volume;
            return;
        }
    }
    m_volumes.append(volume);
}

bool FakeVolumeTable::unmount(const QString &mountPath)
{
    QMutexLocker locker(&m_lock);
    const QString clean = QDir::cleanPath(mountPath);
    return m_volumes.removeIf([&clean](const MountedVolume &v) { return v.mountPath == clean; }) > 0;
}

void FakeVolumeTable::setUnreadable(const QString &path, const QString &reason)
{
    QMutexLocker locker(&m_lock);
    if (reason.isEmpty()) {
        m_unreadable.remove(QDir::cleanPath(path));
    } else {
        m_unreadable.insert(QDir::cleanPath(path), reason);
    }
}

QList<MountedVolume> FakeVolumeTable::allVolumes() const
{
    QMutexLocker locker(&m_lock);
    return m_volumes;
}

QList<MountedVolume> FakeVolumeTable::volumes() const
{
    QMutexLocker locker(&m_lock);
    QList<MountedVolume> result;
    for (const MountedVolume &volume : m_volumes) {
        if (volume.browsable) {
            result.append(volume);
        }
    }
    return result;
}

void FakeVolumeTable::holdNextLookAt(const QString &path)
{
    QMutexLocker locker(&m_lock);
    m_holdPath = QDir::cleanPath(path);
    m_released = false;
}

void FakeVolumeTable::releaseLook()
{
    QMutexLocker locker(&m_lock);
    m_released = true;
    m_releasedCondition.wakeAll();
}

bool FakeVolumeTable::isHoldingLook() const
{
    QMutexLocker locker(&m_lock);
    return m_holding;
}

std::optional<MountedVolume> FakeVolumeTable::volumeAt(const QString &path) const
{
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QString clean = QDir::cleanPath(path);
    QMutexLocker locker(&m_lock);
    std::optional<MountedVolume> found;
    for (const MountedVolume &volume : m_volumes) {
        if (volume.mountPath == clean) {
            found = volume;
        }
    }
    if (!m_holdPath.isEmpty() && clean == m_holdPath) {
        // The answer is what was there when asked; it is given once released.
        m_holdPath.clear();
        m_holding = true;
        while (!m_released) {
            m_releasedCondition.wait(&m_lock);
        }
        m_holding = false;
    }
    return found;
}

QString FakeVolumeTable::unreadableReason(const QString &path) const
{
    QMutexLocker locker(&m_lock);
    return m_unreadable.value(QDir::cleanPath(path));
}

} // namespace volumes
