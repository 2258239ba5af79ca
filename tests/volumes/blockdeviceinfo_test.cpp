#include "platform/blockdeviceinfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Small sysfs trees in a temporary folder, shaped like the kernel's.
class BlockDeviceInfoTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString root() const { return m_dir.path(); }

    void write(const QString &relativePath, const QByteArray &content)
    {
        const QString path = root() + QLatin1Char('/') + relativePath;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    void makeDevice(const QString &relativePath) { ASSERT_TRUE(QDir().mkpath(root() + QLatin1Char('/') + relativePath)); }

    // /sys/dev/block/MAJ:MIN → ../../devices/...
    void link(const QString &number, const QString &devicePath)
    {
        ASSERT_TRUE(QDir().mkpath(root() + QStringLiteral("/dev/block")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../../") + devicePath,
                                root() + QStringLiteral("/dev/block/") + number));
    }

    QTemporaryDir m_dir;
};

TEST_F(BlockDeviceInfoTest, DescribesTheDriveAPartitionBelongsTo)
{
    const QString usbDisk = QStringLiteral(
        "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb");
    write(usbDisk + QStringLiteral("/device/model"), "Cruzer Blade    \n");
    write(usbDisk + QStringLiteral("/device/vendor"), "SanDisk \n");
    write(usbDisk + QStringLiteral("/ro"), "0\n");
    write(usbDisk + QStringLiteral("/sdb1/partition"), "1\n");
    write(usbDisk + QStringLiteral("/sdb1/ro"), "0\n");
    link(QStringLiteral("8:17"), usbDisk + QStringLiteral("/sdb1"));

    const QString sataDisk = QStringLiteral("devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sda");
    write(sataDisk + QStringLiteral("/device/model"), "Samsung SSD 860 EVO\n");
    write(sataDisk + QStringLiteral("/device/vendor"), "ATA     \n");
    write(sataDisk + QStringLiteral("/sda2/partition"), "2\n");
    link(QStringLiteral("8:2"), sataDisk + QStringLiteral("/sda2"));

    const QString card = QStringLiteral("devices/pci0000:00/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0");
    write(card + QStringLiteral("/device/name"), "SD32G\n");
    write(card + QStringLiteral("/mmcblk0p1/partition"), "1\n");
    link(QStringLiteral("179:1"), card + QStringLiteral("/mmcblk0p1"));

    const QString nvme = QStringLiteral("devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1");
    write(nvme + QStringLiteral("/device/model"), "WD Blue SN570 1TB\n");
    write(nvme + QStringLiteral("/nvme0n1p3/partition"), "3\n");
    link(QStringLiteral("259:3"), nvme + QStringLiteral("/nvme0n1p3"));

    const platform::BlockDeviceInfo stick = platform::readBlockDeviceInfo(8, 17, root());
    EXPECT_EQ(stick.model, QStringLiteral("SanDisk Cruzer Blade"));
    EXPECT_EQ(stick.protocol, QStringLiteral("USB"));
    EXPECT_FALSE(stick.readOnly);

    const platform::BlockDeviceInfo ssd = platform::readBlockDeviceInfo(8, 2, root());
    EXPECT_EQ(ssd.model, QStringLiteral("Samsung SSD 860 EVO")) << "the generic ATA vendor was kept";
    EXPECT_EQ(ssd.protocol, QStringLiteral("SATA"));

    const platform::BlockDeviceInfo sd = platform::readBlockDeviceInfo(179, 1, root());
    EXPECT_EQ(sd.model, QStringLiteral("SD32G"));
    EXPECT_EQ(sd.protocol, QStringLiteral("Secure Digital"));

    const platform::BlockDeviceInfo ssd2 = platform::readBlockDeviceInfo(259, 3, root());
    EXPECT_EQ(ssd2.model, QStringLiteral("WD Blue SN570 1TB"));
    EXPECT_EQ(ssd2.protocol, QStringLiteral("PCI-Express"));
}

TEST_F(BlockDeviceInfoTest, AWriteProtectedDiskMakesItsPartitionsReadOnly)
{
    const QString card = QStringLiteral("devices/platform/soc/mmc_host/mmc1/mmc1:0001/block/mmcblk1");
    write(card + QStringLiteral("/ro"), "1\n");
    write(card + QStringLiteral("/mmcblk1p1/partition"), "1\n");
    write(card + QStringLiteral("/mmcblk1p1/ro"), "0\n");
    link(QStringLiteral("179:9"), card + QStringLiteral("/mmcblk1p1"));
    EXPECT_TRUE(platform::readBlockDeviceInfo(179, 9, root()).readOnly);

    const QString disk = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host7/target7:0:0/7:0:0:0/block/sdc");
    write(disk + QStringLiteral("/ro"), "1\n");
    link(QStringLiteral("8:32"), disk);
    EXPECT_TRUE(platform::readBlockDeviceInfo(8, 32, root()).readOnly);

    write(disk + QStringLiteral("/ro"), "0\n");
    EXPECT_FALSE(platform::readBlockDeviceInfo(8, 32, root()).readOnly);
}

TEST_F(BlockDeviceInfoTest, DescribesLoopAndMappedDevicesByWhatIsUnderThem)
{
    const QString loop = QStringLiteral("devices/virtual/block/loop3");
    write(loop + QStringLiteral("/loop/backing_file"), "/home/alice/images/backup disk.img\n");
    link(QStringLiteral("7:3"), loop);
    const platform::BlockDeviceInfo image = platform::readBlockDeviceInfo(7, 3, root());
    EXPECT_EQ(image.model, QStringLiteral("backup disk.img"));
    EXPECT_EQ(image.protocol, QStringLiteral("Virtual"));

    // An encrypted stick: dm-0 stands on sdd1 of a USB drive.
    const QString usbDisk = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1:1.0/host8/target8:0:0/8:0:0:0/block/sdd");
    write(usbDisk + QStringLiteral("/device/model"), "Flair\n");
    write(usbDisk + QStringLiteral("/device/vendor"), "Kingston\n");
    write(usbDisk + QStringLiteral("/sdd1/partition"), "1\n");
    const QString mapped = QStringLiteral("devices/virtual/block/dm-0");
    makeDevice(mapped + QStringLiteral("/slaves"));
    ASSERT_TRUE(QFile::link(root() + QLatin1Char('/') + usbDisk + QStringLiteral("/sdd1"),
                            root() + QLatin1Char('/') + mapped + QStringLiteral("/slaves/sdd1")));
    link(QStringLiteral("253:0"), mapped);
    const platform::BlockDeviceInfo encrypted = platform::readBlockDeviceInfo(253, 0, root());
    EXPECT_EQ(encrypted.model, QStringLiteral("Kingston Flair"));
    EXPECT_EQ(encrypted.protocol, QStringLiteral("USB"));
}

TEST_F(BlockDeviceInfoTest, AnUnknownDeviceIsDescribedByNothing)
{
    const platform::BlockDeviceInfo unknown = platform::readBlockDeviceInfo(8, 99, root());
    EXPECT_TRUE(unknown.model.isEmpty());
    EXPECT_TRUE(unknown.protocol.isEmpty());
    EXPECT_FALSE(unknown.readOnly);
}

TEST(BlockDeviceProtocol, AUsbBridgeWinsOverTheBusBehindIt)
{
    EXPECT_EQ(platform::protocolFromDevicePath(QStringLiteral(
                  "/devices/pci0000:00/0000:00:14.0/usb2/2-3/2-3:1.0/host0/target0:0:0/0:0:0:0/block/sda")),
              QStringLiteral("USB"));
    EXPECT_EQ(platform::protocolFromDevicePath(QStringLiteral(
                  "/devices/pci0000:00/0000:00:14.0/usb4/4-1/4-1:1.0/mmc_host/mmc2/mmc2:0001/block/mmcblk2")),
              QStringLiteral("USB"));
    EXPECT_EQ(platform::protocolFromDevicePath(QStringLiteral("/devices/pci0000:00/0000:00:04.0/virtio1/block/vda")),
              QStringLiteral("Virtual"));
    EXPECT_EQ(platform::protocolFromDevicePath(QStringLiteral("/devices/platform/something/block/xyz")), QString());
}
