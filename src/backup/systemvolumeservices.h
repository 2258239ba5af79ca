#pragma once

#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "volumes/volumeejector.h"

/// This machine's volume table, volume monitor and ejector, owned together:
/// what the application and vellory-cli give their one BackupController.
/// The monitor is started by the owner, when events are wanted.
class SystemVolumeServices
{
public:
    SystemVolumeServices() = default;
    SystemVolumeServices(const SystemVolumeServices &) = delete;
    SystemVolumeServices &operator=(const SystemVolumeServices &) = delete;

    [[nodiscard]] volumes::LinuxVolumeTable &table() { return m_table; }
    [[nodiscard]] volumes::LinuxVolumeMonitor &monitor() { return m_monitor; }
    [[nodiscard]] volumes::SystemVolumeEjector &ejector() { return m_ejector; }

private:
    volumes::LinuxVolumeTable m_table;
    volumes::LinuxVolumeMonitor m_monitor;
    volumes::SystemVolumeEjector m_ejector;
};
