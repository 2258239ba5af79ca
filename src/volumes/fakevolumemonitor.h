#pragma once

#include "volumes/fakevolumetable.h"
#include "volumes/volumemonitor.h"

namespace volumes {

/// A monitor steered by tests. It changes the fake table first, then emits
/// the event, as the real monitor does after the system has changed.
class FakeVolumeMonitor : public VolumeMonitor
{
    Q_OBJECT

public:
    explicit FakeVolumeMonitor(FakeVolumeTable &table, QObject *parent = nullptr);

    void start() override { emit ready(); }

    /// Puts `volume` in the table and emits volumeMounted.
    void mount(const MountedVolume &volume);
    /// Takes the volume at `mountPath` out of the table and emits
    /// volumeUnmounted; false (and no event) when nothing is mounted there.
    bool unmount(const QString &mountPath);
    /// Gives the volume at `mountPath` a new label (and so a new name) and
    /// emits volumeRenamed; false when nothing is mounted there.
    bool relabel(const QString &mountPath, const QString &label);

private:
    FakeVolumeTable &m_table;
};

} // namespace volumes
