#include "volumes/fakevolumemonitor.h"

#include <QFileInfo>

namespace volumes {

namespace {

// The table's volume at `mountPath`, without a look the table could hold.
std::optional<MountedVolume> heldAt(const FakeVolumeTable &table, const QString &mountPath)
{
    for (const MountedVolume &volume : table.allVolumes()) {
        if (volume.mountPath == mountPath) {
            return volume;
        }
    }
    return std::nullopt;
}

} // namespace

FakeVolumeMonitor::FakeVolumeMonitor(FakeVolumeTable &table, QObject *parent)
    : VolumeMonitor(parent)
    , m_table(table)
{
}

void FakeVolumeMonitor::mount(const MountedVolume &volume)
{
    m_table.mount(volume);
    emit volumeMounted(volume);
}

bool FakeVolumeMonitor::unmount(const QString &mountPath)
{
    const auto volume = heldAt(m_table, mountPath);
    if (!volume || !m_table.unmount(mountPath)) {
        return false;
    }
    emit volumeUnmounted(*volume);
    return true;
}

bool FakeVolumeMonitor::relabel(const QString &mountPath, const QString &label)
{
    auto volume = heldAt(m_table, mountPath);
    if (!volume) {
        return false;
    }
    const QString oldName = volume->localizedName;
    volume->label = label;
    volume->localizedName = label.isEmpty() ? QFileInfo(volume->mountPath).fileName() : label;
    m_table.mount(*volume);
    emit volumeRenamed(*volume, oldName);
    return true;
}

} // namespace volumes
