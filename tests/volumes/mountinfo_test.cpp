#include "platform/linuxvolumetable.h"
#include "platform/mountinfo.h"

#include <QFile>
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

const MountInfoEntry *findById(const QList<MountInfoEntry> &entries, int id)
{
    for (const MountInfoEntry &entry : entries) {
        if (entry.mountId == id) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

TEST(MountInfo, ReadsEveryFieldOfADesktopTable)
{
    const QList<MountInfoEntry> entries = platform::parseMountInfo(fixture("desktop.txt"));
    ASSERT_EQ(entries.size(), 22);

    const MountInfoEntry *stick = findById(entries, 32);
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->parentId, 26);
    EXPECT_EQ(stick->major, 8u);
    EXPECT_EQ(stick->minor, 17u);
    EXPECT_EQ(stick->root, QStringLiteral("/"));
    EXPECT_EQ(stick->mountPoint, QStringLiteral("/run/media/alice/MY STICK"));
    EXPECT_EQ(stick->fileSystemType, QStringLiteral("vfat"));
    EXPECT_EQ(stick->source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(stick->optionalFields, QStringList{QStringLiteral("shared:420")});
    EXPECT_TRUE(stick->mountOptions.contains(QStringLiteral("nosuid")));
    EXPECT_TRUE(stick->superOptions.contains(QStringLiteral("errors=remount-ro")));
    EXPECT_FALSE(stick->isReadOnly());

    const MountInfoEntry *share = findById(entries, 34);
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(share->source, QStringLiteral("nas.local:/export/backup"));
    EXPECT_EQ(share->fileSystemType, QStringLiteral("nfs4"));
}

TEST(MountInfo, DecodesOctalEscapesInMountPoint)
{
    const QList<MountInfoEntry> entries = platform::parseMountInfo(fixture("desktop.txt"));
    const MountInfoEntry *odd = findById(entries, 37);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->mountPoint, QStringLiteral("/mnt/tab\tand\\slash\nnl"));

    EXPECT_EQ(platform::decodeMountField("a\\040b"), QByteArray("a b"));
    EXPECT_EQ(platform::decodeMountField("\\303\\251t\\303\\251"), QByteArray("\xc3\xa9t\xc3\xa9"));
    // Not escapes: too short at the end, not octal, beyond a byte, a lone backslash.
    EXPECT_EQ(platform::decodeMountField("end\\04"), QByteArray("end\\04"));
    EXPECT_EQ(platform::decodeMountField("x\\089y"), QByteArray("x\\089y"));
    EXPECT_EQ(platform::decodeMountField("\\777"), QByteArray("\\777"));
    EXPECT_EQ(platform::decodeMountField("\\"), QByteArray("\\"));
}

TEST(MountInfo, ReadsAnyNumberOfOptionalFieldsUpToTheSeparator)
{
    const QList<MountInfoEntry> entries = platform::parseMountInfo(fixture("desktop.txt"));
    const MountInfoEntry *many = findById(entries, 38);
    ASSERT_NE(many, nullptr);
    EXPECT_EQ(many->optionalFields,
              (QStringList{QStringLiteral("shared:460"), QStringLiteral("master:3"),
                           QStringLiteral("propagate_from:2"), QStringLiteral("unbindable")}));
    EXPECT_EQ(many->fileSystemType, QStringLiteral("btrfs"));
    EXPECT_EQ(many->source, QStringLiteral("/dev/sde1"));

    const MountInfoEntry *none = findById(entries, 37);
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->optionalFields.isEmpty());
    EXPECT_EQ(none->source, QStringLiteral("/dev/sdd1"));

    // Read-only per mount, although the file system itself is read-write.
    const MountInfoEntry *camera = findById(entries, 33);
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(camera->isReadOnly());
}

TEST(MountInfo, LeavesOutMalformedLinesAndKeepsTheRest)
{
    const QList<MountInfoEntry> entries = platform::parseMountInfo(fixture("malformed.txt"));
    QList<int> ids;
    for (const MountInfoEntry &entry : entries) {
        ids.append(entry.mountId);
    }
    EXPECT_EQ(ids, (QList<int>{22, 25, 27, 28}));

    const MountInfoEntry *emptySource = findById(entries, 25);
    ASSERT_NE(emptySource, nullptr);
    EXPECT_EQ(emptySource->mountPoint, QStringLiteral("/empty source"));
    EXPECT_EQ(emptySource->fileSystemType, QStringLiteral("tmpfs"));
    EXPECT_TRUE(emptySource->source.isEmpty());

    const MountInfoEntry *brokenEscape = findById(entries, 27);
    ASSERT_NE(brokenEscape, nullptr);
    EXPECT_EQ(brokenEscape->mountPoint, QStringLiteral("/media/bad\\04"));
}

TEST(MountInfo, EveryTruncationKeepsTheCompleteLinesAndNeverInventsAMountPoint)
{
    const QByteArray text = fixture("desktop.txt");
    const QList<MountInfoEntry> all = platform::parseMountInfo(text);
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        const QByteArray prefix = text.left(cut);
        const QList<MountInfoEntry> entries = platform::parseMountInfo(prefix);
        const qsizetype completeLines = prefix.count('\n');
        ASSERT_GE(entries.size(), completeLines) << "cut at " << cut;
        ASSERT_LE(entries.size(), completeLines + 1) << "cut at " << cut;
        for (qsizetype i = 0; i < completeLines; ++i) {
            ASSERT_EQ(entries[i], all[i]) << "cut at " << cut;
        }
        // A cut line is only accepted once its mount point and source are whole.
        if (entries.size() > completeLines) {
            const MountInfoEntry &partial = entries.last();
            EXPECT_EQ(partial.mountPoint, all[completeLines].mountPoint) << "cut at " << cut;
            EXPECT_EQ(partial.source, all[completeLines].source) << "cut at " << cut;
        }
    }
}

TEST(MountInfo, StackedMountHidesTheOneBeneath)
{
    const QList<MountInfoEntry> visible = platform::visibleMounts(platform::parseMountInfo(fixture("desktop.txt")));
    EXPECT_EQ(findById(visible, 40), nullptr) << "the covered mount at /mnt/old is still listed";
    ASSERT_NE(findById(visible, 41), nullptr);
    EXPECT_EQ(findById(visible, 41)->source, QStringLiteral("/dev/sdd2"));
    EXPECT_EQ(visible.size(), 21);
}

TEST(MountInfo, ReadsUserOptionsFromFstabAndTheMountHelpersTable)
{
    const auto fstab = platform::parseFstabOptions(fixture("fstab.txt"));
    EXPECT_EQ(fstab.value(QStringLiteral("/srv/share")),
              (QStringList{QStringLiteral("credentials=/etc/cred"), QStringLiteral("x-gvfs-show")}));
    EXPECT_EQ(fstab.value(QStringLiteral("/mnt/with blank")),
              (QStringList{QStringLiteral("defaults"), QStringLiteral("comment=x-gvfs-hide")}));
    EXPECT_TRUE(fstab.contains(QStringLiteral("/boot/efi")));
    EXPECT_FALSE(fstab.contains(QStringLiteral("/media/short"))) << "a line without options was taken";
    EXPECT_EQ(fstab.size(), 3);

    const auto utab = platform::parseUtabOptions(fixture("utab.txt"));
    EXPECT_EQ(utab.value(QStringLiteral("/media/alice/hidden")),
              (QStringList{QStringLiteral("x-gvfs-hide"), QStringLiteral("uhelper=udisks2")}));
    EXPECT_TRUE(utab.contains(QStringLiteral("/run/media/alice/MY STICK")));
}

TEST(VolumeIdentity, DecodesUdevLabelLinksAndNamesSharesStably)
{
    EXPECT_EQ(platform::decodeUdevEscapes(QStringLiteral("MY\\x20STICK")), QStringLiteral("MY STICK"));
    EXPECT_EQ(platform::decodeUdevEscapes(QStringLiteral("a\\x2fb\\x5c")), QStringLiteral("a/b\\"));
    EXPECT_EQ(platform::decodeUdevEscapes(QStringLiteral("\\xc3\\xa9t\\xc3\\xa9")), QStringLiteral("été"));
    EXPECT_EQ(platform::decodeUdevEscapes(QStringLiteral("odd\\x2")), QStringLiteral("odd\\x2"));
    EXPECT_EQ(platform::decodeUdevEscapes(QStringLiteral("\\xzz")), QStringLiteral("\\xzz"));

    const QString share = platform::networkShareUuid(QStringLiteral("nas.local:/export/backup"));
    EXPECT_EQ(share.size(), 36);
    EXPECT_EQ(share, share.toUpper());
    EXPECT_EQ(share, platform::networkShareUuid(QStringLiteral("nas.local:/export/backup")));
    EXPECT_NE(share, platform::networkShareUuid(QStringLiteral("nas.local:/export/photos")));
}
