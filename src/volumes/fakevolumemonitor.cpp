#include "volumes/fakevolumemonitor.h"

#include <QFileInfo>

namespace volumes {

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
    const auto volume = m_table.volumeAt(mountPath);
    if (!volume || !m_table.unmount(mountPath)) {
        return false;
    }
    emit volumeUnmounted(*volume);
    return true;
}

bool FakeVolumeMonitor::relabel(const QString &mountPath, const QString &label)
{
    auto volume = m_table.volumeAt(mountPath);
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
