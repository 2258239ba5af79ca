#pragma once

#include "platform/mountedvolume.h"

#include <QImage>
#include <QString>

/// Where the controller gets the pictures it shows: the icons of files and
/// volumes and the two pieces of the missing-volume icon. A null image means
/// "none to be had"; the caller then falls back.
class IconSource
{
public:
    virtual ~IconSource() = default;

    /// The icon of the file or folder at `path`; null when it cannot be had
    /// (the item does not exist, no icon fits it).
    [[nodiscard]] virtual QImage fileIcon(const QString &path) const = 0;
    /// The icon of a mounted volume (its kind of drive).
    [[nodiscard]] virtual QImage volumeIcon(const platform::MountedVolume &volume) const = 0;
    /// The generic icon of a removable disk.
    [[nodiscard]] virtual QImage removableDiskIcon() const = 0;
    /// A small "not available" badge; null when the theme has none.
    [[nodiscard]] virtual QImage offlineBadge() const = 0;
    /// Shown for an item whose own icon cannot be had.
    [[nodiscard]] virtual QImage unknownItemIcon() const = 0;
};

/// Icons from the desktop's icon theme: a file's icon is the one of its
/// content type (by name, without reading the file), a volume's the one of
/// its kind of drive.
class ThemeIconSource : public IconSource
{
public:
    /// Edge length in pixels of the images handed out.
    static constexpr int kImageSize = 256;

    [[nodiscard]] QImage fileIcon(const QString &path) const override;
    [[nodiscard]] QImage volumeIcon(const platform::MountedVolume &volume) const override;
    [[nodiscard]] QImage removableDiskIcon() const override;
    [[nodiscard]] QImage offlineBadge() const override;
    [[nodiscard]] QImage unknownItemIcon() const override;

    /// The first of `names` the theme has, as an image; null when none.
    [[nodiscard]] static QImage themedImage(const QStringList &names);
};

/// The missing-volume icon: `disk` scaled into the whole 150 × 150 square at
/// opacity 0.25 (replacing what is beneath), then `badge`, when there is one,
/// scaled into the 48 × 48 square at (51, 51) in the centre at opacity 0.5
/// over it.
[[nodiscard]] QImage drawMissingVolumeIcon(const QImage &disk, const QImage &badge);
