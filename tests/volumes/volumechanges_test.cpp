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

// Unmounts first, then changes in the new order; a replug or a move is an unmount and a mount.
TEST(VolumeChanges, ReportsMountsUnmountsAndRenamesInOrderButNotSpaceOrFlags)
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
    const MountedVolume replugged = volume(57, "/media/a/STICK", "STICK", "CCCC-3333");
    MountedVolume moved = stick;
    moved.mountPath = QStringLiteral("/mnt/stick");

    EXPECT_TRUE(volumes::volumeChanges({card}, {fuller}).isEmpty());
    EXPECT_TRUE(volumes::volumeChanges({unlabelled}, {stick}).isEmpty());

    EXPECT_EQ(volumes::volumeChanges({root, stick}, {card, renamed}),
              (QList<VolumeChange>{{Kind::Unmounted, root, QString()}, {Kind::Mounted, card, QString()},
                                   {Kind::Renamed, renamed, QStringLiteral("STICK")}}));
    for (const MountedVolume &after : {replugged, moved}) {
        EXPECT_EQ(volumes::volumeChanges({stick}, {after}),
                  (QList<VolumeChange>{{Kind::Unmounted, stick, QString()}, {Kind::Mounted, after, QString()}}));
    }
}
