#include "volumes/blockdeviceinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace volumes {

namespace {

QString readTrimmed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.read(4096)).trimmed();
}

bool isPartition(const QString &devicePath)
{
    return QFileInfo::exists(devicePath + QStringLiteral("/partition"));
}

QString diskOf(const QString &devicePath)
{
    return isPartition(devicePath) ? QFileInfo(devicePath).path() : devicePath;
}

bool isVirtual(const QString &devicePath)
{
    return devicePath.contains(QLatin1String("/devices/virtual/"));
}

QString firstSlave(const QString &diskPath)
{
    const QStringList slaves = QDir(diskPath + QStringLiteral("/slaves"))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    if (slaves.isEmpty()) {
        return QString();
    }
    return QFileInfo(diskPath + QStringLiteral("/slaves/") + slaves.first()).canonicalFilePath();
}

QString modelOf(const QString &diskPath)
{
    QString model = readTrimmed(diskPath + QStringLiteral("/device/model"));
    if (model.isEmpty()) {
        model = readTrimmed(diskPath + QStringLiteral("/device/name")); // SD and MMC cards
    }
    const QString vendor = readTrimmed(diskPath + QStringLiteral("/device/vendor"));
    // Disks behind an ATA bridge all report the vendor "ATA".
    if (vendor.isEmpty() || vendor == QLatin1String("ATA") || vendor.startsWith(QLatin1String("0x"))
        || model.startsWith(vendor, Qt::CaseInsensitive)) {
        return model;
    }
    return model.isEmpty() ? vendor : vendor + QLatin1Char(' ') + model;
}

} // namespace

QString protocolFromDevicePath(const QString &devicePath)
{
    const QStringList segments = devicePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    auto any = [&segments](auto predicate) {
        return std::any_of(segments.begin(), segments.end(), predicate);
    };
    // A card reader or an NVMe enclosure on USB is a USB device first.
    if (any([](const QString &s) { return s.startsWith(QLatin1String("usb")); })) {
        return QStringLiteral("USB");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("fw")) && s.size() > 2 && s[2].isDigit(); })) {
        return QStringLiteral("FireWire");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("mmc")); })) {
        return QStringLiteral("Secure Digital");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("nvme")); })) {
        return QStringLiteral("PCI-Express");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("ata")) && s.size() > 3 && s[3].isDigit(); })) {
        return QStringLiteral("SATA");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("virtio")); })
        || devicePath.contains(QLatin1String("/devices/virtual/"))) {
        return QStringLiteral("Virtual");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("end_device")); })) {
        return QStringLiteral("SAS");
    }
    if (any([](const QString &s) { return s.startsWith(QLatin1String("target")); })) {
        return QStringLiteral("SCSI");
    }
    return QString();
}

BlockDeviceInfo readBlockDeviceInfo(unsigned major, unsigned minor, const QString &sysRoot)
{
    BlockDeviceInfo info;
    const QString link = sysRoot + QStringLiteral("/dev/block/%1:%2").arg(major).arg(minor);
    const QString device = QFileInfo(link).canonicalFilePath();
    if (device.isEmpty()) {
        return info;
    }
    QString disk = diskOf(device);
    info.readOnly = readTrimmed(device + QStringLiteral("/ro")) == QLatin1String("1")
                    || readTrimmed(disk + QStringLiteral("/ro")) == QLatin1String("1");

    // A mapped device (encryption, LVM) stands on a physical one: describe that.
    for (int depth = 0; depth < 8 && isVirtual(disk); ++depth) {
        const QString slave = firstSlave(disk);
        if (slave.isEmpty()) {
            break;
        }
        disk = diskOf(slave);
    }

    const QString backingFile = readTrimmed(disk + QStringLiteral("/loop/backing_file"));
    if (!backingFile.isEmpty()) {
        info.model = QFileInfo(backingFile).fileName();
        info.protocol = QStringLiteral("Virtual");
        return info;
    }
    info.model = modelOf(disk);
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    const QString relative = disk.startsWith(root + QLatin1Char('/')) ? disk.mid(root.size()) : disk;
    info.protocol = protocolFromDevicePath(relative);
    return info;
}

} // namespace volumes
