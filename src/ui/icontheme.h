#pragma once

#include <QImage>
#include <QString>

/// Makes the themed icons available when the desktop names no icon theme (a
/// bare X server, a test run): the Adwaita theme, which the application's
/// package depends on, then stands in. A desktop's own theme is kept, with
/// Adwaita behind it for the names it lacks.
void useIconThemeFallback();

/// The theme's icon `name` drawn at most `pixels` wide (smaller when the
/// theme has no picture that large); null when the theme lacks the name.
/// The theme's full-size picture is let go once drawn: Qt keeps every icon
/// it hands out for the rest of the run, and a theme icon keeps the file it
/// drew from decoded (a 512-pixel file is 1 MiB) for as long as it lives.
[[nodiscard]] QImage drawThemeIcon(const QString &name, int pixels);
