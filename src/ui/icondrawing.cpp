#include "ui/icondrawing.h"

#include "ui/icontheme.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>

namespace icondrawing {
namespace {

constexpr int kBadgedSize = 150;
constexpr int kBadgeOrigin = 51;
constexpr int kBadgeSize = 48;
constexpr int kApplicationIconSize = 128;

} // namespace

QImage themedImage(const QStringList &names)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        return QImage();
    }
    for (const QString &name : names) {
        const QImage image = drawThemeIcon(name, kImageSize);
        if (!image.isNull()) {
            return image;
        }
    }
    return QImage();
}

QImage drawBadged(const QImage &base, double opacity, const QImage &badge, double badgeOpacity)
{
    QImage image(kBadgedSize, kBadgedSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (base.isNull() && badge.isNull()) {
        return image;
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!base.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setOpacity(opacity);
        painter.drawImage(QRect(0, 0, kBadgedSize, kBadgedSize), base);
    }
    if (!badge.isNull()) {
        // The square is centred, so it is the same from the top as from the bottom.
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(badgeOpacity);
        painter.drawImage(QRect(kBadgeOrigin, kBadgeOrigin, kBadgeSize, kBadgeSize), badge);
    }
    painter.end();
    return image;
}

QImage draw(const IconDescription &icon)
{
    if (icon.kind == IconDescription::Kind::Application) {
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            return QImage();
        }
        return QGuiApplication::windowIcon().pixmap(QSize(kApplicationIconSize, kApplicationIconSize)).toImage();
    }
    const QImage base = themedImage(icon.names);
    if (icon.opacity >= 1.0 && icon.badgeNames.isEmpty()) {
        return base;
    }
    return drawBadged(base, icon.opacity, themedImage(icon.badgeNames), icon.badgeOpacity);
}

} // namespace icondrawing
