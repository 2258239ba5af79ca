#include "platform/volumechanges.h"

#include <gtest/gtest.h>

using platform::MountedVolume;
using platform::VolumeChange;
using Kind = platform::VolumeChange::Kind;

namespace {

MountedVolume volume(int id, const char *path, const char *name, const char *uuid = "")
{
    MountedVolume v;
    v.mountId = id;
    v.mountPath = QString::fromUtf8(path);
    v.localizedName = QString::fromUtf8(name);
    v.label = v.localizedName;
    v.uuid = QString::fromUtf8(uuid);
    return v;
}

QList<Kind> kinds(const QList<VolumeChange> &changes)
{
    QList<Kind> result;
    for (const VolumeChange &change : changes) {
        result.append(change.kind);
    }
    return result;
}

} // namespace

TEST(VolumeChanges, ReportsMountsUnmountsAndRenames)
{
    const MountedVolume root = volume(1, "/", "");
    const MountedVolume stick = volume(40, "/media/a/STICK", "STICK", "AAAA-1111");
    const MountedVolume card = volume(41, "/media/a/CARD", "CARD", "BBBB-2222");

    const auto mounted = platform::volumeChanges({root}, {root, stick});
    ASSERT_EQ(mounted.size(), 1);
    EXPECT_EQ(mounted[0], (VolumeChange{Kind::Mounted, stick, QString()}));

    MountedVolume renamed = stick;
    renamed.label = renamed.localizedName = QStringLiteral("OFFSITE");
    const auto renames = platform::volumeChanges({root, stick, card}, {root, renamed, card});
    ASSERT_EQ(renames.size(), 1);
    EXPECT_EQ(renames[0], (VolumeChange{Kind::Renamed, renamed, QStringLiteral("STICK")}));

    // The unmounted volume is reported as last seen, UUID and path included.
    const auto unmounted = platform::volumeChanges({root, renamed, card}, {root, card});
    ASSERT_EQ(unmounted.size(), 1);
    EXPECT_EQ(unmounted[0], (VolumeChange{Kind::Unmounted, renamed, QString()}));

    EXPECT_TRUE(platform::volumeChanges({root, stick, card}, {root, stick, card}).isEmpty());
    // A changed free space or mount flag is no event.
    MountedVolume fuller = card;
    fuller.availableBytes = 12;
    fuller.writable = !card.writable;
    EXPECT_TRUE(platform::volumeChanges({card}, {fuller}).isEmpty());
}

TEST(VolumeChanges, APlugOutAndInAtTheSamePathIsAnUnmountThenAMount)
{
    const MountedVolume before = volume(40, "/media/a/STICK", "STICK", "AAAA-1111");
    const MountedVolume after = volume(57, "/media/a/STICK", "STICK", "CCCC-3333");
    const auto changes = platform::volumeChanges({before}, {after});
    EXPECT_EQ(kinds(changes), (QList<Kind>{Kind::Unmounted, Kind::Mounted}));
    EXPECT_EQ(changes[0].volume.uuid, QStringLiteral("AAAA-1111"));
    EXPECT_EQ(changes[1].volume.uuid, QStringLiteral("CCCC-3333"));

    // Moved to another folder: gone from the old path, then there at the new one.
    MountedVolume moved = before;
    moved.mountPath = QStringLiteral("/mnt/stick");
    EXPECT_EQ(kinds(platform::volumeChanges({before}, {moved})), (QList<Kind>{Kind::Unmounted, Kind::Mounted}));
}

TEST(VolumeChanges, ANewLabelThatLeavesTheNameAsItWasIsNoRename)
{
    // Without a label the name is the folder's; a label equal to it changes nothing visible.
    MountedVolume before = volume(40, "/media/a/STICK", "STICK");
    before.label.clear();
    MountedVolume after = before;
    after.label = QStringLiteral("STICK");
    EXPECT_TRUE(platform::volumeChanges({before}, {after}).isEmpty());
}

TEST(VolumeChanges, SeveralEventsComeUnmountsFirstThenInTheNewOrder)
{
    const MountedVolume a = volume(10, "/media/A", "A");
    const MountedVolume b = volume(11, "/media/B", "B");
    const MountedVolume c = volume(12, "/media/C", "C");
    MountedVolume b2 = b;
    b2.localizedName = QStringLiteral("B2");
    const auto changes = platform::volumeChanges({a, b}, {b2, c});
    ASSERT_EQ(kinds(changes), (QList<Kind>{Kind::Unmounted, Kind::Renamed, Kind::Mounted}));
    EXPECT_EQ(changes[0].volume.mountPath, QStringLiteral("/media/A"));
    EXPECT_EQ(changes[1].oldName, QStringLiteral("B"));
    EXPECT_EQ(changes[2].volume.mountPath, QStringLiteral("/media/C"));
}
