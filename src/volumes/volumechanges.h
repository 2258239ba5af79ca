#pragma once

#include "volumes/mountedvolume.h"

#include <QList>
#include <QString>

namespace volumes {

/// One difference between two readings of the volume table.
struct VolumeChange
{
    enum class Kind { Mounted, Unmounted, Renamed };

    Kind kind = Kind::Mounted;
    MountedVolume volume; ///< as mounted or renamed now; as last seen when unmounted
    QString oldName;      ///< the localized name before a rename

    friend bool operator==(const VolumeChange &, const VolumeChange &) = default;
};

/// What happened between two readings: unmounts first (a volume moved to
/// another folder is unmounted from the old one, then mounted at the new one),
/// then mounts and renames in the order of `after`. A mount is the same while
/// its kernel mount id and its path stay; a new id at the same path is an
/// unmount and a mount (the stick was plugged out and in again).
[[nodiscard]] QList<VolumeChange> volumeChanges(const QList<MountedVolume> &before,
                                                const QList<MountedVolume> &after);

} // namespace volumes
