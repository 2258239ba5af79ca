#pragma once

/// Makes the themed icons available when the desktop names no icon theme (a
/// bare X server, a test run): the Adwaita theme, which the application's
/// package depends on, then stands in. A desktop's own theme is kept, with
/// Adwaita behind it for the names it lacks.
void useIconThemeFallback();
