#include "volumes/linuxvolumetable.h"
#include "volumes/mountinfo.h"
#include "volumes/mountvisibility.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>

using volumes::MountInfoEntry;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(VELLORY_TEST_DATA "/mountinfo/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

const QList<MountInfoEntry> &desktopTable()
{
    static const QList<MountInfoEntry> entries = volumes::parseMountInfo(fixture("desktop.txt"));
    return entries;
}

const MountInfoEntry &byId(const QList<MountInfoEntry> &entries, int id)
{
    static const MountInfoEntry none;
    const auto found = std::ranges::find(entries, id, &MountInfoEntry::mountId);
    EXPECT_TRUE(found != entries.end()) << "no mount " << id;
    return found == entries.end() ? none : *found;
}

} // namespace

TEST(MountInfo, ReadsEveryFieldAndLeavesOutMalformedOrCutLines)
{
    ASSERT_EQ(desktopTable().size(), 22);
    const QStringList stickOptions = QStringLiteral("rw uid=1000 gid=1000 fmask=0022 dmask=0022 codepage=437 iocharset=utf8 "
                                                    "shortname=mixed showexec utf8 flush errors=remount-ro").split(u' ');
    EXPECT_EQ(byId(desktopTable(), 32), (MountInfoEntry{32, 26, 8, 17, "/", "/run/media/alice/MY STICK",
                                                        {"rw", "nosuid", "nodev", "relatime"}, {"shared:420"}, "vfat",
                                                        "/dev/sdb1", stickOptions}));
    // Read-only per mount, although the file system itself is read-write.
    EXPECT_TRUE(byId(desktopTable(), 33).isReadOnly());

    // Escapes in the mount point, and no optional field or many.
    EXPECT_EQ(byId(desktopTable(), 37), (MountInfoEntry{37, 22, 8, 48, "/", "/mnt/tab\tand\\slash\nnl", {"rw", "relatime"},
                                                        {}, "ext4", "/dev/sdd1", {"rw"}}));
    EXPECT_EQ(byId(desktopTable(), 38).optionalFields, (QStringList{"shared:460", "master:3", "propagate_from:2", "unbindable"}));

    // Malformed lines are left out; every truncation keeps the complete lines.
    const QList<MountInfoEntry> entries = volumes::parseMountInfo(fixture("malformed.txt"));
    QList<int> ids(entries.size());
    std::ranges::transform(entries, ids.begin(), &MountInfoEntry::mountId);
    EXPECT_EQ(ids, (QList<int>{22, 25, 27, 28}));
    EXPECT_EQ(byId(entries, 25).mountPoint, QStringLiteral("/empty source"));
    EXPECT_TRUE(byId(entries, 25).source.isEmpty());
    EXPECT_EQ(byId(entries, 27).mountPoint, QStringLiteral("/media/bad\\04"));

    const QByteArray text = fixture("desktop.txt");
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        const QList<MountInfoEntry> cutEntries = volumes::parseMountInfo(text.left(cut));
        const qsizetype complete = text.left(cut).count('\n');
        ASSERT_GE(cutEntries.size(), complete) << "cut at " << cut;
        ASSERT_LE(cutEntries.size(), complete + 1) << "cut at " << cut;
        for (qsizetype i = 0; i < complete; ++i) {
            ASSERT_EQ(cutEntries[i], desktopTable()[i]) << "cut at " << cut;
        }
        // A cut line is only accepted once its mount point and source are whole.
        if (cutEntries.size() > complete) {
            EXPECT_EQ(cutEntries.last().mountPoint, desktopTable()[complete].mountPoint) << "cut at " << cut;
            EXPECT_EQ(cutEntries.last().source, desktopTable()[complete].source) << "cut at " << cut;
        }
    }
}

TEST(MountFields, DecodeOnlyWholeEscapesAndNameSharesStably)
{
    // Octal escapes of one byte (a blank, one too short: the tables); not: not octal, beyond a byte, a lone backslash.
    const std::pair<QByteArray, QByteArray> fields[] = {
        {"\\303\\251t\\303\\251", "\xc3\xa9t\xc3\xa9"}, {"x\\089y", "x\\089y"}, {"\\777", "\\777"}, {"\\", "\\"}};
    for (const auto &[field, decoded] : fields) {
        EXPECT_EQ(volumes::decodeMountField(field), decoded) << field.constData();
    }
    // udev's label links.
    const std::pair<const char *, QString> rows[] = {{"MY\\x20STICK", QStringLiteral("MY STICK")},
                                                     {"a\\x2fb\\x5c", QStringLiteral("a/b\\")},
                                                     {"\\xc3\\xa9t\\xc3\\xa9", QStringLiteral("été")},
                                                     {"odd\\x2", QStringLiteral("odd\\x2")},
                                                     {"\\xzz", QStringLiteral("\\xzz")}};
    for (const auto &[link, label] : rows) {
        EXPECT_EQ(volumes::decodeUdevEscapes(QString::fromLatin1(link)), label) << link;
    }
    const QString share = volumes::networkShareUuid(QStringLiteral("nas.local:/export/backup"));
    EXPECT_EQ(share.size(), 36);
    EXPECT_EQ(share, share.toUpper());
    EXPECT_EQ(share, volumes::networkShareUuid(QStringLiteral("nas.local:/export/backup")));
    EXPECT_NE(share, volumes::networkShareUuid(QStringLiteral("nas.local:/export/photos")));
}

// The fixture's devices are not on this machine: a /dev source stands for a block device.
TEST(MountVisibility, ShowsDevicesAndSharesOutsideSystemFoldersUnlessTheUserOptionsSayOtherwise)
{
    auto shown = [](const QHash<QString, QStringList> &options) {
        QSet<QString> points;
        const QList<MountInfoEntry> visible = volumes::visibleMounts(desktopTable());
        EXPECT_EQ(visible.size(), 21);
        for (const MountInfoEntry &entry : visible) {
            if (volumes::isShownByFileManager(entry, entry.source.startsWith(QLatin1String("/dev/")),
                                               options.value(entry.mountPoint))) {
                points.insert(entry.mountPoint);
            }
        }
        return points;
    };
    // The stacked mount at /mnt/old hides the one beneath it.
    EXPECT_EQ(byId(volumes::visibleMounts(desktopTable()), 41).source, QStringLiteral("/dev/sdd2"));
    EXPECT_EQ(shown({}), (QSet<QString>{QStringLiteral("/"), QStringLiteral("/run/media/alice/MY STICK"),
                                        QStringLiteral("/media/alice/CAMERA"), QStringLiteral("/mnt/nas"),
                                        QStringLiteral("/home/alice/remote"), QStringLiteral("/mnt/tab\tand\\slash\nnl"),
                                        QStringLiteral("/media/alice/Dev"), QStringLiteral("/media/alice/Data"),
                                        QStringLiteral("/mnt/old"), QStringLiteral("/media/alice/hidden")}));

    // The user's options: fstab's and the mount helpers' table.
    QHash<QString, QStringList> options = volumes::parseFstabOptions(fixture("fstab.txt"));
    EXPECT_EQ(options.value(QStringLiteral("/srv/share")),
              (QStringList{QStringLiteral("credentials=/etc/cred"), QStringLiteral("x-gvfs-show")}));
    EXPECT_EQ(options.value(QStringLiteral("/mnt/with blank")),
              (QStringList{QStringLiteral("defaults"), QStringLiteral("comment=x-gvfs-hide")}));
    EXPECT_TRUE(options.contains(QStringLiteral("/boot/efi")));
    EXPECT_EQ(options.size(), 3) << "a line without options was taken";
    const auto utab = volumes::parseUtabOptions(fixture("utab.txt"));
    EXPECT_EQ(utab.value(QStringLiteral("/media/alice/hidden")),
              (QStringList{QStringLiteral("x-gvfs-hide"), QStringLiteral("uhelper=udisks2")}));
    EXPECT_TRUE(utab.contains(QStringLiteral("/run/media/alice/MY STICK")));
    options.insert(utab);
    const QSet<QString> withOptions = shown(options);
    EXPECT_FALSE(withOptions.contains(QStringLiteral("/media/alice/hidden"))) << "x-gvfs-hide ignored";
    EXPECT_TRUE(withOptions.contains(QStringLiteral("/srv/share"))) << "x-gvfs-show ignored";
    EXPECT_TRUE(withOptions.contains(QStringLiteral("/run/media/alice/MY STICK")));

    MountInfoEntry entry;
    entry.root = QStringLiteral("/");
    entry.mountPoint = QStringLiteral("/mnt/with blank");
    entry.fileSystemType = QStringLiteral("ext4");
    EXPECT_TRUE(volumes::isShownByFileManager(entry, true, {}));
    EXPECT_FALSE(volumes::isShownByFileManager(entry, true, {QStringLiteral("comment=x-gvfs-hide")}));
    // Showing is for devices and shares only: a pseudo file system stays hidden.
    entry.fileSystemType = QStringLiteral("tmpfs");
    EXPECT_FALSE(volumes::isShownByFileManager(entry, false, {QStringLiteral("x-gvfs-show")}));

    // System folders and network file systems by name.
    for (const char *system : {"/boot", "/boot/efi", "/var/lib/docker", "/run", "/run/user/1000/doc", "/home", "/tmp",
                               "/proc/sys/fs/binfmt_misc", "/snap/x/1", "/usr"}) {
        EXPECT_TRUE(volumes::isSystemMountPoint(QString::fromUtf8(system))) << system;
    }
    for (const char *place : {"/", "/mnt", "/mnt/usb", "/media/alice/STICK", "/run/media/bob/CARD", "/home/alice/stick",
                              "/tmp/x/mnt", "/bootleg", "/variety"}) {
        EXPECT_FALSE(volumes::isSystemMountPoint(QString::fromUtf8(place))) << place;
    }
    for (const char *network : {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "davfs", "fuse.rclone", "9p"}) {
        EXPECT_TRUE(volumes::isNetworkFileSystem(QString::fromUtf8(network))) << network;
    }
    for (const char *local : {"ext4", "fuseblk", "fuse.fusefat", "fuse", "tmpfs", "vfat", "fuse.gvfsd-fuse", ""}) {
        EXPECT_FALSE(volumes::isNetworkFileSystem(QString::fromUtf8(local))) << local;
    }
}
