#include "backup/iconsource.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

bool isRemovableProtocol(const QString &protocol)
{
    return protocol == QLatin1String("USB") || protocol == QLatin1String("Secure Digital")
        || protocol == QLatin1String("FireWire");
}

IconDescription themed(const QStringList &names)
{
    IconDescription icon;
    icon.names = names;
    return icon;
}

const QStringList kUnknownItemNames{QStringLiteral("dialog-question"), QStringLiteral("unknown"),
                                    QStringLiteral("dialog-question-symbolic")};

} // namespace

IconDescription ThemeIconSource::fileIcon(const QString &path) const
{
    // One stat; the content is never read, so an icon is cheap on a slow disk.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return IconDescription();
    }
    // When the theme has none of the item's own names, the unknown-item
    // icon shows.
    if (info.isDir()) {
        return themed(QStringList{QStringLiteral("folder"), QStringLiteral("inode-directory")} + kUnknownItemNames);
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return themed(QStringList{type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic"),
                              QStringLiteral("unknown")}
                  + kUnknownItemNames);
}

IconDescription ThemeIconSource::volumeIcon(const volumes::MountedVolume &volume) const
{
    if (volume.isNetwork) {
        return themed({QStringLiteral("folder-remote"), QStringLiteral("network-server"),
                       QStringLiteral("drive-harddisk")});
    }
    if (volume.deviceProtocol == QLatin1String("USB")) {
        return themed({QStringLiteral("drive-removable-media-usb"), QStringLiteral("drive-removable-media"),
                       QStringLiteral("drive-harddisk")});
    }
    if (isRemovableProtocol(volume.deviceProtocol)) {
        return themed({QStringLiteral("media-flash"), QStringLiteral("drive-removable-media"),
                       QStringLiteral("drive-harddisk")});
    }
    return themed({QStringLiteral("drive-harddisk"), QStringLiteral("drive-removable-media")});
}

IconDescription ThemeIconSource::missingVolumeIcon() const
{
    IconDescription icon = themed({QStringLiteral("drive-removable-media"), QStringLiteral("media-removable"),
                                   QStringLiteral("drive-harddisk")});
    icon.opacity = 0.25;
    // A cross over the greyed stick says "not here"; a network picture would
    // send the person looking for a network problem.
    icon.badgeNames = {QStringLiteral("emblem-unreadable"), QStringLiteral("action-unavailable-symbolic"),
                       QStringLiteral("process-stop")};
    icon.badgeOpacity = 0.5;
    return icon;
}

IconDescription ThemeIconSource::unknownItemIcon() const
{
    return themed(kUnknownItemNames);
}
