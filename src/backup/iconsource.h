#pragma once

#include "backup/icondescription.h"
#include "volumes/mountedvolume.h"

#include <QString>

/// Which pictures the controller shows: the icons of files and volumes and
/// the missing-volume icon, as descriptions the views draw. A null
/// description means "none to be had"; the caller then falls back.
class IconSource
{
public:
    virtual ~IconSource() = default;

    /// The icon of the file or folder at `path`; null when the item does not
    /// exist.
    [[nodiscard]] virtual IconDescription fileIcon(const QString &path) const = 0;
    /// The icon of a mounted volume (its kind of drive).
    [[nodiscard]] virtual IconDescription volumeIcon(const volumes::MountedVolume &volume) const = 0;
    /// The destination that is not there: a faint removable disk with a
    /// "not available" badge.
    [[nodiscard]] virtual IconDescription missingVolumeIcon() const = 0;
    /// Shown for an item whose own icon cannot be had.
    [[nodiscard]] virtual IconDescription unknownItemIcon() const = 0;
};

/// Icons named after the desktop's icon theme: a file's icon is the one of
/// its content type (by name, without reading the file), a volume's the one
/// of its kind of drive.
class ThemeIconSource : public IconSource
{
public:
    [[nodiscard]] IconDescription fileIcon(const QString &path) const override;
    [[nodiscard]] IconDescription volumeIcon(const volumes::MountedVolume &volume) const override;
    [[nodiscard]] IconDescription missingVolumeIcon() const override;
    [[nodiscard]] IconDescription unknownItemIcon() const override;
};
