#pragma once

#include "volumes/mountedvolume.h"

#include <QObject>
#include <QString>

namespace volumes {

/// Tells when a volume a user would see is mounted, unmounted or renamed.
/// Signals are emitted on the thread the monitor lives on (the main thread),
/// one per event, in the order the events were seen.
class VolumeMonitor : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Starts watching; events before this call are not reported.
    virtual void start() = 0;

signals:
    /// The first reading after start() is in; changes from then on are
    /// reported. What was mounted before it is not announced one by one:
    /// whoever read the table earlier reads it again now.
    void ready();
    /// A volume appeared; `volume` is as it is now (its UUID, name, path).
    void volumeMounted(const volumes::MountedVolume &volume);
    /// A volume went away; `volume` is as it was last seen, so its path and
    /// UUID are still known.
    void volumeUnmounted(const volumes::MountedVolume &volume);
    /// A mounted volume's name changed; `volume` carries the new name and its
    /// path, `oldName` the name it had.
    void volumeRenamed(const volumes::MountedVolume &volume, const QString &oldName);
};

} // namespace volumes
