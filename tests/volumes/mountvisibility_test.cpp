#include "platform/mountinfo.h"
#include "platform/mountvisibility.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

using platform::MountInfoEntry;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(VELLORY_TEST_DATA "/mountinfo/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return QByteArray();
    }
    return file.readAll();
}

// The fixture's devices are not on this machine: a /dev source stands for a
// block device.
QSet<QString> shownMountPoints(const QHash<QString, QStringList> &userOptions)
{
    QSet<QString> shown;
    for (const MountInfoEntry &entry : platform::visibleMounts(platform::parseMountInfo(fixture("desktop.txt")))) {
        const bool onBlockDevice = entry.source.startsWith(QLatin1String("/dev/"));
        if (platform::isShownByFileManager(entry, onBlockDevice, userOptions.value(entry.mountPoint))) {
            shown.insert(entry.mountPoint);
        }
    }
    return shown;
}

} // namespace

TEST(MountVisibility, ShowsDevicesAndSharesOutsideTheSystemsOwnFolders)
{
    const QSet<QString> expected = {
        QStringLiteral("/"),
        QStringLiteral("/run/media/alice/MY STICK"),
        QStringLiteral("/media/alice/CAMERA"),
        QStringLiteral("/mnt/nas"),
        QStringLiteral("/home/alice/remote"),
        QStringLiteral("/mnt/tab\tand\\slash\nnl"),
        QStringLiteral("/media/alice/Dev"),
        QStringLiteral("/media/alice/Data"),
        QStringLiteral("/mnt/old"),
        QStringLiteral("/media/alice/hidden"),
    };
    EXPECT_EQ(shownMountPoints({}), expected);
}

TEST(MountVisibility, UserOptionsHideAndShowMounts)
{
    QHash<QString, QStringList> options = platform::parseFstabOptions(fixture("fstab.txt"));
    const auto utab = platform::parseUtabOptions(fixture("utab.txt"));
    for (auto it = utab.constBegin(); it != utab.constEnd(); ++it) {
        options.insert(it.key(), it.value());
    }
    const QSet<QString> shown = shownMountPoints(options);
    EXPECT_FALSE(shown.contains(QStringLiteral("/media/alice/hidden"))) << "x-gvfs-hide ignored";
    EXPECT_TRUE(shown.contains(QStringLiteral("/srv/share"))) << "x-gvfs-show ignored";
    EXPECT_TRUE(shown.contains(QStringLiteral("/run/media/alice/MY STICK")));

    MountInfoEntry entry;
    entry.root = QStringLiteral("/");
    entry.mountPoint = QStringLiteral("/mnt/with blank");
    entry.fileSystemType = QStringLiteral("ext4");
    EXPECT_TRUE(platform::isShownByFileManager(entry, true, {}));
    EXPECT_FALSE(platform::isShownByFileManager(entry, true, {QStringLiteral("comment=x-gvfs-hide")}));
    // Showing is for devices and shares only: a pseudo file system stays hidden.
    entry.fileSystemType = QStringLiteral("tmpfs");
    EXPECT_FALSE(platform::isShownByFileManager(entry, false, {QStringLiteral("x-gvfs-show")}));
}

TEST(MountVisibility, TellsSystemFoldersFromPlacesForVolumes)
{
    for (const char *system : {"/boot", "/boot/efi", "/var/lib/docker", "/run", "/run/user/1000/doc",
                               "/home", "/tmp", "/proc/sys/fs/binfmt_misc", "/snap/x/1", "/usr"}) {
        EXPECT_TRUE(platform::isSystemMountPoint(QString::fromUtf8(system))) << system;
    }
    for (const char *place : {"/", "/mnt", "/mnt/usb", "/media/alice/STICK", "/run/media/bob/CARD",
                              "/home/alice/stick", "/tmp/x/mnt", "/bootleg", "/variety"}) {
        EXPECT_FALSE(platform::isSystemMountPoint(QString::fromUtf8(place))) << place;
    }
}

TEST(MountVisibility, RecognisesNetworkFileSystems)
{
    for (const char *network : {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "davfs", "fuse.rclone", "9p"}) {
        EXPECT_TRUE(platform::isNetworkFileSystem(QString::fromUtf8(network))) << network;
    }
    for (const char *local : {"ext4", "fuseblk", "fuse.fusefat", "fuse", "tmpfs", "vfat", "fuse.gvfsd-fuse", ""}) {
        EXPECT_FALSE(platform::isNetworkFileSystem(QString::fromUtf8(local))) << local;
    }
}
