#pragma once

#include <QString>

namespace volumes {

/// What the kernel tells about the hardware under a block device.
struct BlockDeviceInfo
{
    QString model;    ///< vendor and model of the drive, or a loop device's image file name
    QString protocol; ///< "USB", "Secure Digital", "SATA", "PCI-Express", "Virtual", … or empty
    bool readOnly = false; ///< the device (or the disk it is a partition of) is write-protected
};

/// Reads sysfs (`sysRoot`, normally "/sys") for the block device major:minor:
/// the disk a partition belongs to, the physical disk under a mapped device
/// (an encrypted stick, say), its model and the bus it hangs on.
/// Unknown devices give empty texts.
[[nodiscard]] BlockDeviceInfo readBlockDeviceInfo(unsigned major, unsigned minor,
                                                  const QString &sysRoot = QStringLiteral("/sys"));

/// The bus protocol named by a device's sysfs path below /sys/devices.
[[nodiscard]] QString protocolFromDevicePath(const QString &devicePath);

} // namespace volumes
