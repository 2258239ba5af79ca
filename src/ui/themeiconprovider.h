#pragma once

#include <QColor>
#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

/// Serves "image://themeicon/<name>?size=N[&color=%23RRGGBB]": a named icon of
/// the desktop's theme at the size asked for. With a colour, the icon's shape
/// is filled with it — how symbolic icons take the text or accent colour of
/// the light or dark palette.
class ThemeIconProvider : public QQuickImageProvider
{
public:
    static constexpr const char *kProviderName = "themeicon";

    struct Request
    {
        QString name;
        int size = 0;
        std::optional<QColor> color;
    };

    ThemeIconProvider();

    /// The image URL of the theme icon `name` at `size` points, in `color`
    /// when it is valid.
    [[nodiscard]] static QString source(const QString &name, int size, const QColor &color = QColor());
    [[nodiscard]] static std::optional<Request> decodeId(const QString &id);
    /// The first of `names` the theme has, `pixels` wide; null when none.
    [[nodiscard]] static QImage themedImage(const QStringList &names, int pixels);
    /// `image`'s shape filled with `color` (alpha kept).
    [[nodiscard]] static QImage tinted(const QImage &image, const QColor &color);

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
