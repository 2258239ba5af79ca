#pragma once

#include "volumes/mountedvolume.h"
#include "volumes/volumetable.h"

#include <QString>
#include <QUrl>

#include <cstdint>

namespace volumes {

/// The answer to "may this item be the backup destination?": the accepted
/// volume with what the backup set records of it, or the refusal with the
/// sentence and item name for the alert ("Unable to use" "NAME").
class VolumeValidation
{
public:
    static VolumeValidation accepted(const volumes::MountedVolume &volume, const QString &itemName);
    /// A null `itemName` means the item could not be looked at, so its name
    /// is not known: the caller keeps the name it had.
    static VolumeValidation refused(const QString &errorMessage, const QString &itemName = QString());

    [[nodiscard]] bool isAccepted() const { return m_accepted; }
    [[nodiscard]] QString itemName() const { return m_itemName; }
    [[nodiscard]] bool hasItemName() const { return !m_itemName.isNull(); }
    [[nodiscard]] QString errorMessage() const { return m_errorMessage; }
    [[nodiscard]] const volumes::MountedVolume &volume() const { return m_volume; }

    // What the backup set records of an accepted volume.
    [[nodiscard]] QString volumeName() const;        ///< its name, "Untitled" when it has none
    [[nodiscard]] QString volumeUUID() const { return m_volume.uuid; }
    [[nodiscard]] QString volumePath() const { return m_volume.mountPath; }
    [[nodiscard]] std::int64_t volumeCapacity() const { return m_volume.totalBytes.value_or(0); }
    [[nodiscard]] QString volumeDescription() const { return m_volume.description(); }

private:
    bool m_accepted = false;
    QString m_itemName;
    QString m_errorMessage;
    volumes::MountedVolume m_volume;
};

/// Decides whether an offered item is a usable destination volume. The
/// checks run in this order and the first that fails refuses the item:
///  1. the item can be looked at (it exists and its folder can be searched);
///  2. it is a volume: the root of a mounted file system, not a folder in one;
///  3. it is browsable: a file manager shows it (a device or network share
///     mounted outside the system's own folders, not hidden);
///  4. this user may read it (list and open its root);
///  5. this user may write to it, on a read-write mount of a device that is
///     not write-protected;
///  6. it has an identifier (a file-system UUID) to be recognised by later.
class VolumeValidator
{
public:
    explicit VolumeValidator(const volumes::VolumeTable &table);

    [[nodiscard]] VolumeValidation validate(const QString &path) const;
    /// As above for a "file:" location; any other kind of location is refused
    /// as unreadable.
    [[nodiscard]] VolumeValidation validate(const QUrl &url) const;

private:
    const volumes::VolumeTable &m_table;
};

/// Whether the volume mounted at `path` is the one named by `uuid`. A backup
/// that names its destination writes only where this holds: another stick
/// mounted at the same path (with the same label, say) is not the destination.
/// False for an empty `uuid`, and when nothing is mounted at `path`.
[[nodiscard]] bool volumeCarriesUuid(const volumes::VolumeTable &table, const QString &path, const QString &uuid);

} // namespace volumes
