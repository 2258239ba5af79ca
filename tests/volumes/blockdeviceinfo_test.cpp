#include "volumes/blockdeviceinfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString usbSdb = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb");
const QString sataSda = QStringLiteral("devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sda");
const QString cardMmc = QStringLiteral(
    "devices/pci0000:00/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0");
const QString nvme = QStringLiteral("devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1");
const QString lockedCard = QStringLiteral("devices/platform/soc/mmc_host/mmc1/mmc1:0001/block/mmcblk1");
const QString usbSdc = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host7/target7:0:0/7:0:0:0/block/sdc");
const QString usbSdd = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1:1.0/host8/target8:0:0/8:0:0:0/block/sdd");

} // namespace

// A small sysfs tree shaped like the kernel's: drives with partitions, a
// write-protected card and a mapped device (loop devices: RealVolumes).
TEST(BlockDeviceInfo, DescribesTheDriveUnderEachDeviceAndAUsbBridgeWinsOverTheBusBehindIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid()); // else the tree would go below /
    const auto path = [&dir](const QString &relative) { return dir.path() + QLatin1Char('/') + relative; };
    const std::pair<QString, QByteArray> files[] = {
        {usbSdb + "/device/model", "Cruzer Blade    \n"}, {usbSdb + "/device/vendor", "SanDisk \n"},
        {usbSdb + "/ro", "0\n"}, {usbSdb + "/sdb1/partition", "1\n"}, {usbSdb + "/sdb1/ro", "0\n"},
        {sataSda + "/device/model", "Samsung SSD 860 EVO\n"}, {sataSda + "/device/vendor", "ATA     \n"},
        {sataSda + "/sda2/partition", "2\n"}, {cardMmc + "/device/name", "SD32G\n"},
        {cardMmc + "/mmcblk0p1/partition", "1\n"}, {nvme + "/device/model", "WD Blue SN570 1TB\n"},
        {nvme + "/nvme0n1p3/partition", "3\n"}, {lockedCard + "/ro", "1\n"},
        {lockedCard + "/mmcblk1p1/partition", "1\n"}, {lockedCard + "/mmcblk1p1/ro", "0\n"}, {usbSdc + "/ro", "1\n"},
        {usbSdd + "/device/model", "Flair\n"}, {usbSdd + "/device/vendor", "Kingston\n"},
        {usbSdd + "/sdd1/partition", "1\n"}};
    for (const auto &[relative, content] : files) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    // An encrypted stick: dm-0 stands on sdd1 of a USB drive.
    ASSERT_TRUE(QDir().mkpath(path("devices/virtual/block/dm-0/slaves")));
    ASSERT_TRUE(QFile::link(path(usbSdd + "/sdd1"), path("devices/virtual/block/dm-0/slaves/sdd1")));
    const std::pair<const char *, QString> links[] = {
        {"8:17", usbSdb + "/sdb1"}, {"8:2", sataSda + "/sda2"}, {"179:1", cardMmc + "/mmcblk0p1"},
        {"259:3", nvme + "/nvme0n1p3"}, {"179:9", lockedCard + "/mmcblk1p1"}, {"8:32", usbSdc},
        {"253:0", QStringLiteral("devices/virtual/block/dm-0")}};
    ASSERT_TRUE(QDir().mkpath(path("dev/block")));
    for (const auto &[number, device] : links) {
        ASSERT_TRUE(QFile::link("../../" + device, path("dev/block/") + QLatin1String(number)));
    }

    const std::tuple<unsigned, unsigned, QString, QString, bool> rows[] = { // major, minor, model, protocol, read-only
        {8, 17, QStringLiteral("SanDisk Cruzer Blade"), QStringLiteral("USB"), false},
        {8, 2, QStringLiteral("Samsung SSD 860 EVO"), QStringLiteral("SATA"), false}, // the generic ATA vendor is dropped
        {179, 1, QStringLiteral("SD32G"), QStringLiteral("Secure Digital"), false},
        {259, 3, QStringLiteral("WD Blue SN570 1TB"), QStringLiteral("PCI-Express"), false},
        {179, 9, QString(), QStringLiteral("Secure Digital"), true}, // a write-protected disk's partition
        {8, 32, QString(), QStringLiteral("USB"), true},
        {253, 0, QStringLiteral("Kingston Flair"), QStringLiteral("USB"), false},
        {8, 99, QString(), QString(), false}, // unknown
    };
    for (const auto &[major, minor, model, protocol, readOnly] : rows) {
        SCOPED_TRACE(testing::Message() << major << ':' << minor);
        const volumes::BlockDeviceInfo info = volumes::readBlockDeviceInfo(major, minor, dir.path());
        EXPECT_EQ(info.model, model);
        EXPECT_EQ(info.protocol, protocol);
        EXPECT_EQ(info.readOnly, readOnly);
    }

    // From the device path alone: a USB bridge wins over the bus behind it.
    const std::pair<const char *, QString> paths[] = {
        {"/devices/pci0000:00/0000:00:14.0/usb4/4-1/4-1:1.0/mmc_host/mmc2/mmc2:0001/block/mmcblk2", QStringLiteral("USB")},
        {"/devices/pci0000:00/0000:00:04.0/virtio1/block/vda", QStringLiteral("Virtual")},
        {"/devices/platform/something/block/xyz", QString()}};
    for (const auto &[devicePath, protocol] : paths) {
        EXPECT_EQ(volumes::protocolFromDevicePath(QString::fromLatin1(devicePath)), protocol) << devicePath;
    }
}
