#pragma once

#include <QMetaType>
#include <QStringList>

/// A picture as the engine describes it; the views draw it. The engine links
/// no graphics library, so it says which themed icon to show (the first of
/// `names` the theme has) at which opacity, and which badge goes on top.
struct IconDescription
{
    enum class Kind {
        /// The first of `names` the icon theme has.
        Themed,
        /// The application's own icon (the placeholder job shows it).
        Application,
    };

    Kind kind = Kind::Themed;
    QStringList names;
    /// Opacity of the icon, 0...1, drawn replacing what is beneath.
    double opacity = 1.0;
    /// The first of these the theme has, drawn over the centre; none when empty.
    QStringList badgeNames;
    double badgeOpacity = 1.0;

    /// Nothing to draw.
    [[nodiscard]] bool isNull() const
    {
        return kind == Kind::Themed && names.isEmpty() && badgeNames.isEmpty();
    }
    friend bool operator==(const IconDescription &, const IconDescription &) = default;
};

Q_DECLARE_METATYPE(IconDescription)
