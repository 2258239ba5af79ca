#include "volumes/volumechanges.h"

#include <gtest/gtest.h>

using volumes::MountedVolume;
using volumes::VolumeChange;
using Kind = volumes::VolumeChange::Kind;

namespace {

MountedVolume volume(int id, const char *path, const char *name, const char *uuid = "")
{
    MountedVolume v;
    v.mountId = id;
    v.mountPath = QString::fromUtf8(path);
    v.label = v.localizedName = QString::fromUtf8(name);
    v.uuid = QString::fromUtf8(uuid);
    return v;
}

} // namespace

TEST(VolumeChanges, ReportsMountsUnmountsAndRenamesButNotSpaceOrFlags)
{
    const MountedVolume root = volume(1, "/", "");
    const MountedVolume stick = volume(40, "/media/a/STICK", "STICK", "AAAA-1111");
    const MountedVolume card = volume(41, "/media/a/CARD", "CARD", "BBBB-2222");
    MountedVolume renamed = stick;
    renamed.label = renamed.localizedName = QStringLiteral("OFFSITE");
    MountedVolume fuller = card;
    fuller.availableBytes = 12;
    fuller.writable = !card.writable;
    // Without a label the name is the folder's; a label equal to it changes nothing visible.
    MountedVolume unlabelled = stick;
    unlabelled.label.clear();

    EXPECT_EQ(volumes::volumeChanges({root}, {root, stick}), (QList<VolumeChange>{{Kind::Mounted, stick, QString()}}));
    EXPECT_EQ(volumes::volumeChanges({root, stick, card}, {root, renamed, card}),
              (QList<VolumeChange>{{Kind::Renamed, renamed, QStringLiteral("STICK")}}));
    // The unmounted volume is reported as last seen, UUID and path included.
    EXPECT_EQ(volumes::volumeChanges({root, renamed, card}, {root, card}),
              (QList<VolumeChange>{{Kind::Unmounted, renamed, QString()}}));
    EXPECT_TRUE(volumes::volumeChanges({root, stick, card}, {root, stick, card}).isEmpty());
    EXPECT_TRUE(volumes::volumeChanges({card}, {fuller}).isEmpty());
    EXPECT_TRUE(volumes::volumeChanges({unlabelled}, {stick}).isEmpty());
}

TEST(VolumeChanges, UnmountsComeFirstThenTheNewOrderAndAReplugIsUnmountThenMount)
{
    const MountedVolume before = volume(40, "/media/a/STICK", "STICK", "AAAA-1111");
    const MountedVolume replugged = volume(57, "/media/a/STICK", "STICK", "CCCC-3333");
    MountedVolume moved = before;
    moved.mountPath = QStringLiteral("/mnt/stick");
    EXPECT_EQ(volumes::volumeChanges({before}, {replugged}),
              (QList<VolumeChange>{{Kind::Unmounted, before, QString()}, {Kind::Mounted, replugged, QString()}}));
    EXPECT_EQ(volumes::volumeChanges({before}, {moved}),
              (QList<VolumeChange>{{Kind::Unmounted, before, QString()}, {Kind::Mounted, moved, QString()}}));

    const MountedVolume a = volume(10, "/media/A", "A");
    const MountedVolume b = volume(11, "/media/B", "B");
    const MountedVolume c = volume(12, "/media/C", "C");
    MountedVolume b2 = b;
    b2.localizedName = QStringLiteral("B2");
    EXPECT_EQ(volumes::volumeChanges({a, b}, {b2, c}),
              (QList<VolumeChange>{{Kind::Unmounted, a, QString()}, {Kind::Renamed, b2, QStringLiteral("B")},
                                   {Kind::Mounted, c, QString()}}));
}
