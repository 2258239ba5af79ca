#pragma once

#include <QPalette>

/// The look that follows the desktop: the Fusion style of Qt Quick Controls
/// (unless the person chose another with QT_QUICK_CONTROLS_STYLE), drawn with
/// the desktop's palette, and a dark palette when the desktop prefers dark
/// but gives Qt no palette of its own.
class DesktopStyle
{
public:
    enum class ColorScheme { NoPreference, Dark, Light };

    /// Call before the first window is made.
    static void apply();

    /// The desktop's preference: the settings portal's "color-scheme", else
    /// a GTK theme named "...:dark"/"...-dark".
    [[nodiscard]] static ColorScheme desktopColorScheme();
    /// `gtkTheme` is the GTK_THEME value.
    [[nodiscard]] static ColorScheme schemeFromGtkTheme(const QString &gtkTheme);
    /// Whether `palette` has a dark window background.
    [[nodiscard]] static bool isDark(const QPalette &palette);
    [[nodiscard]] static QPalette darkPalette();
};
