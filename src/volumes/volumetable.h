#pragma once

#include "volumes/mountedvolume.h"

#include <QList>
#include <QString>

#include <optional>

namespace volumes {

/// The mounted file systems, as a file manager would list them.
/// Implementations are safe to call from any thread.
class VolumeTable
{
public:
    virtual ~VolumeTable() = default;

    /// The volumes a user would see (browsable ones), in mount order, each
    /// device once. Empty when the table cannot be read.
    [[nodiscard]] virtual QList<MountedVolume> volumes() const = 0;

    /// volumes() without looking inside any of them: identity, place and
    /// device only; sizes stay unknown and `readable`/`writable` false. What
    /// a watcher reads often, as it neither waits on a hung share nor holds a
    /// mounted tree that someone is unmounting.
    [[nodiscard]] virtual QList<MountedVolume> volumeIdentities() const { return volumes(); }

    /// The volume whose mount root is `path` (symbolic links resolved),
    /// browsable or not; nothing when `path` is not the root of a mounted
    /// file system (a folder inside one included).
    [[nodiscard]] virtual std::optional<MountedVolume> volumeAt(const QString &path) const = 0;

    /// Why the item at `path` cannot be looked at (it does not exist, a
    /// folder on the way may not be searched), or empty text when it can.
    [[nodiscard]] virtual QString unreadableReason(const QString &path) const = 0;
};

} // namespace volumes
