#include "ui/icontheme.h"

#include <QDir>
#include <QIcon>
#include <QStandardPaths>

namespace {

const QString kFallbackTheme = QStringLiteral("Adwaita");

/// The freedesktop places of icon themes: ~/.icons, then "icons" in every
/// data folder. A platform without a desktop theme plugin searches none.
QStringList desktopIconFolders()
{
    QStringList folders{QDir::homePath() + QStringLiteral("/.icons")};
    folders += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                         QStandardPaths::LocateDirectory);
    if (QDir(QStringLiteral("/usr/share/icons")).exists()) {
        folders.append(QStringLiteral("/usr/share/icons"));
    }
    return folders;
}

} // namespace

void useIconThemeFallback()
{
    QStringList searchPaths = QIcon::themeSearchPaths();
    bool added = false;
    for (const QString &folder : desktopIconFolders()) {
        if (!searchPaths.contains(folder) && QDir(folder).exists()) {
            searchPaths.append(folder);
            added = true;
        }
    }
    if (added) {
        QIcon::setThemeSearchPaths(searchPaths);
    }

    const QString theme = QIcon::themeName();
    if (theme.isEmpty()) {
        QIcon::setThemeName(kFallbackTheme);
    }
    if (QIcon::fallbackThemeName().isEmpty() || theme.isEmpty() || theme == QLatin1String("hicolor")) {
        QIcon::setFallbackThemeName(kFallbackTheme);
    }
}

QImage drawThemeIcon(const QString &name, int pixels)
{
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull()) {
        return QImage();
    }
    // Changing the copy detaches it from the icon Qt keeps: it draws with an
    // engine of its own, whose decoded file goes when the copy does.
    icon.setIsMask(icon.isMask());
    return icon.pixmap(QSize(pixels, pixels)).toImage();
}
