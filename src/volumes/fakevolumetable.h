#pragma once

#include "volumes/volumetable.h"

#include <QHash>
#include <QMutex>
#include <QWaitCondition>

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
    /// Every volume held, browsable or not.
    [[nodiscard]] QList<MountedVolume> allVolumes() const;
    /// Makes `unreadableReason(path)` give `reason` (empty text clears it).
    void setUnreadable(const QString &path, const QString &reason);
    /// The next volumeAt(`path`) answers only after releaseLook(), with what
    /// the table held when it was asked: a reading the system overtakes
    /// before it is back. Other looks go ahead.
    void holdNextLookAt(const QString &path);
    /// Lets the held look answer.
    void releaseLook();
    /// Whether a look is waiting for releaseLook().
    [[nodiscard]] bool isHoldingLook() const;

    [[nodiscard]] QList<MountedVolume> volumes() const override;
    [[nodiscard]] std::optional<MountedVolume> volumeAt(const QString &path) const override;
    [[nodiscard]] QString unreadableReason(const QString &path) const override;

private:
    mutable QMutex m_lock;
    QList<MountedVolume> m_volumes;
    QHash<QString, QString> m_unreadable;
    // Written by the look that is held, hence mutable.
    mutable QString m_holdPath;      ///< the next look to hold
    mutable bool m_holding = false;  ///< a look waits for its release
    bool m_released = false;
    mutable QWaitCondition m_releasedCondition;
};

} // namespace volumes
