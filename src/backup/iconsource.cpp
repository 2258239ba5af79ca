#include "backup/iconsource.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>

namespace {

constexpr int kMissingIconSize = 150;
constexpr int kBadgeOrigin = 51;
constexpr int kBadgeSize = 48;

bool isRemovableProtocol(const QString &protocol)
{
    return protocol == QLatin1String("USB") || protocol == QLatin1String("Secure Digital")
        || protocol == QLatin1String("FireWire");
}

} // namespace

QImage ThemeIconSource::themedImage(const QStringList &names)
{
    // Icons need a graphical application; vellory-cli runs without one.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        return QImage();
    }
    for (const QString &name : names) {
        const QIcon icon = QIcon::fromTheme(name);
        if (icon.isNull()) {
            continue;
        }
        const QImage image = icon.pixmap(QSize(kImageSize, kImageSize)).toImage();
        if (!image.isNull()) {
            return image;
        }
    }
    return QImage();
}

QImage ThemeIconSource::fileIcon(const QString &path) const
{
    // One stat; the content is never read, so an icon is cheap on a slow disk.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return QImage();
    }
    if (info.isDir()) {
        return themedImage({QStringLiteral("folder"), QStringLiteral("inode-directory")});
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return themedImage({type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic"),
                        QStringLiteral("unknown")});
}

QImage ThemeIconSource::volumeIcon(const platform::MountedVolume &volume) const
{
    if (volume.isNetwork) {
        return themedImage({QStringLiteral("folder-remote"), QStringLiteral("network-server"),
                            QStringLiteral("drive-harddisk")});
    }
    if (volume.deviceProtocol == QLatin1String("USB")) {
        return themedImage({QStringLiteral("drive-removable-media-usb"), QStringLiteral("drive-removable-media"),
                            QStringLiteral("drive-harddisk")});
    }
    if (isRemovableProtocol(volume.deviceProtocol)) {
        return themedImage({QStringLiteral("media-flash"), QStringLiteral("drive-removable-media"),
                            QStringLiteral("drive-harddisk")});
    }
    return themedImage({QStringLiteral("drive-harddisk"), QStringLiteral("drive-removable-media")});
}

QImage ThemeIconSource::removableDiskIcon() const
{
    return themedImage({QStringLiteral("drive-removable-media"), QStringLiteral("media-removable"),
                        QStringLiteral("drive-harddisk")});
}

QImage ThemeIconSource::offlineBadge() const
{
    // A cross over the greyed stick says "not here"; a network picture would
    // send the person looking for a network problem.
    return themedImage({QStringLiteral("emblem-unreadable"), QStringLiteral("action-unavailable-symbolic"),
                        QStringLiteral("process-stop")});
}

QImage ThemeIconSource::unknownItemIcon() const
{
    return themedImage({QStringLiteral("dialog-question"), QStringLiteral("unknown"),
                        QStringLiteral("dialog-question-symbolic")});
}

QImage drawMissingVolumeIcon(const QImage &disk, const QImage &badge)
{
    QImage image(kMissingIconSize, kMissingIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (disk.isNull() && badge.isNull()) {
        return image;
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!disk.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setOpacity(0.25);
        painter.drawImage(QRect(0, 0, kMissingIconSize, kMissingIconSize), disk);
    }
    if (!badge.isNull()) {
        // The square is centred, so it is the same from the top as from the bottom.
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(0.5);
        painter.drawImage(QRect(kBadgeOrigin, kBadgeOrigin, kBadgeSize, kBadgeSize), badge);
    }
    painter.end();
    return image;
}
