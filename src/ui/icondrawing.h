#pragma once

#include "backup/icondescription.h"

#include <QImage>
#include <QStringList>

/// Turns the engine's descriptions of pictures into images, from the
/// desktop's icon theme. Main thread of a graphical application only.
namespace icondrawing {

/// Edge length in pixels of a plain themed icon.
inline constexpr int kImageSize = 256;

/// The picture `icon` describes; null when the theme has none of its names.
[[nodiscard]] QImage draw(const IconDescription &icon);

/// The first of `names` the theme has, as an image; null when none.
[[nodiscard]] QImage themedImage(const QStringList &names);

/// A dimmed icon with a badge: `base` scaled into the whole 150 × 150
/// square at `opacity` (replacing what is beneath), then `badge`, when there
/// is one, scaled into the 48 × 48 square at (51, 51) in the centre at
/// `badgeOpacity` over it. The missing-volume icon is drawn so.
[[nodiscard]] QImage drawBadged(const QImage &base, double opacity, const QImage &badge, double badgeOpacity);

} // namespace icondrawing
