#pragma once

#include "volumes/volumetable.h"

#include <QHash>
#include <QMutex>

namespace volumes {

/// A volume table held in memory, steered by tests: volumes are added,
/// changed and removed by hand; no file system is touched. Like the real
/// table it may be read from any thread while a test changes it.
class FakeVolumeTable : public VolumeTable
{
public:
    /// Adds a volume, replacing one mounted at the same path.
    void mount(const MountedVolume &volume);
    /// Removes the volume mounted at `mountPath`; false when there is none.
    bool unmount(const QString &mountPath);
    /// Makes `unreadableReason(path)` give `reason` (empty text clears it).
    void setUnreadable(const QString &path, const QString &reason);

    [[nodiscard]] QList<MountedVolume> volumes() const override;
    [[nodiscard]] std::optional<MountedVolume> volumeAt(const QString &path) const override;
    [[nodiscard]] QString unreadableReason(const QString &path) const override;

private:
    mutable QMutex m_lock;
    QList<MountedVolume> m_volumes;
    QHash<QString, QString> m_unreadable;
};

} // namespace volumes
