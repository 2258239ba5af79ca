#pragma once

#include "volumes/volumetable.h"

#include <chrono>
#include <memory>

namespace volumes {

namespace detail {
struct Look;
struct VolumeProbes;
} // namespace detail

/// The volume table of this machine, read afresh on every call:
/// /proc/self/mountinfo for what is mounted where, libblkid on the source
/// device for UUID and label, statvfs for sizes, access() for what this user
/// may do, and sysfs for the drive's model and bus. Holds no state, so it may
/// be used from several threads at once.
///
/// Looking inside a mounted tree (statvfs, access, resolving a path) is done
/// on a helper thread and waited for at most the answer bound: a hung share
/// is left out of that reading (and named in the log) instead of holding
/// the caller, and while its look is still stuck it is left out at once.
/// Two looks at the same volume at once (two readings) both go ahead.
class LinuxVolumeTable : public VolumeTable
{
public:
    LinuxVolumeTable();

    /// How long one volume may take to answer (2 s unless changed).
    void setAnswerBound(std::chrono::milliseconds bound);
    /// Takes every look under way as stuck, as if it had overrun the bound:
    /// for a reader that gave up waiting on a whole reading, so that the
    /// next one leaves those volumes out instead of joining them.
    void giveUpLooksUnderWay();

    [[nodiscard]] QList<MountedVolume> volumes() const override;
    /// Labels from the device (libblkid, else udev's links); never opens,
    /// stats or asks access on a mounted tree.
    [[nodiscard]] QList<MountedVolume> volumeIdentities() const override;
    [[nodiscard]] std::optional<MountedVolume> volumeAt(const QString &path) const override;
    [[nodiscard]] QString unreadableReason(const QString &path) const override;

private:
    enum class Detail { identity, full };

    [[nodiscard]] QList<MountedVolume> readVolumes(Detail detail) const;

    // Shared by copies: which looks are still stuck, and the bound.
    std::shared_ptr<detail::VolumeProbes> m_probes;
};

/// Network shares carry no file-system UUID; they are identified by a UUID
/// derived from the share's address, the same for every mount of that share.
[[nodiscard]] QString networkShareUuid(const QString &source);

/// Decodes udev's "\x20"-style escapes in /dev/disk/by-label names.
[[nodiscard]] QString decodeUdevEscapes(const QString &name);

} // namespace volumes
