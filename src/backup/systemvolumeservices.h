#pragma once

#include "platform/linuxvolumemonitor.h"
#include "platform/linuxvolumetable.h"
#include "platform/volumeejector.h"

/// This machine's volume table, volume monitor and ejector, owned together:
/// what the application and vellory-cli give their one BackupController.
/// The monitor is started by the owner, when events are wanted.
class SystemVolumeServices
{
public:
    SystemVolumeServices() = default;
    SystemVolumeServices(const SystemVolumeServices &) = delete;
    SystemVolumeServices &operator=(const SystemVolumeServices &) = delete;

    [[nodiscard]] platform::LinuxVolumeTable &table() { return m_table; }
    [[nodiscard]] platform::LinuxVolumeMonitor &monitor() { return m_monitor; }
    [[nodiscard]] platform::SystemVolumeEjector &ejector() { return m_ejector; }

private:
    platform::LinuxVolumeTable m_table;
    platform::LinuxVolumeMonitor m_monitor;
    platform::SystemVolumeEjector m_ejector;
};
