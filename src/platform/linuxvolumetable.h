#pragma once

#include "platform/volumetable.h"

namespace platform {

/// The volume table of this machine, read afresh on every call:
/// /proc/self/mountinfo for what is mounted where, libblkid on the source
/// device for UUID and label, statvfs for sizes, access() for what this user
/// may do, and sysfs for the drive's model and bus. Holds no state, so it may
/// be used from several threads at once.
class LinuxVolumeTable : public VolumeTable
{
public:
    [[nodiscard]] QList<MountedVolume> volumes() const override;
    [[nodiscard]] std::optional<MountedVolume> volumeAt(const QString &path) const override;
    [[nodiscard]] QString unreadableReason(const QString &path) const override;
};

/// Network shares carry no file-system UUID; they are identified by a UUID
/// derived from the share's address, the same for every mount of that share.
[[nodiscard]] QString networkShareUuid(const QString &source);

/// Decodes udev's "\x20"-style escapes in /dev/disk/by-label names.
[[nodiscard]] QString decodeUdevEscapes(const QString &name);

} // namespace platform
