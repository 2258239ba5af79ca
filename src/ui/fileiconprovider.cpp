#include "ui/fileiconprovider.h"

#include "ui/themeiconprovider.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

namespace {

constexpr int kDefaultPixels = 64;
constexpr int kMaxPixels = 1024;
const QString kSizeQuery = QStringLiteral("?size=");

QStringList unknownItemNames()
{
    return {QStringLiteral("dialog-question"), QStringLiteral("unknown"), QStringLiteral("text-x-generic")};
}

/// The user's well-known folders have icons of their own in every theme.
QString placeIconName(const QString &absolutePath)
{
    const struct
    {
        QStandardPaths::StandardLocation location;
        const char *icon;
    } places[] = {
        {QStandardPaths::HomeLocation, "user-home"},
        {QStandardPaths::DesktopLocation, "user-desktop"},
        {QStandardPaths::DocumentsLocation, "folder-documents"},
        {QStandardPaths::DownloadLocation, "folder-download"},
        {QStandardPaths::MusicLocation, "folder-music"},
        {QStandardPaths::PicturesLocation, "folder-pictures"},
        {QStandardPaths::MoviesLocation, "folder-videos"},
    };
    const QString clean = QDir::cleanPath(absolutePath);
    for (const auto &place : places) {
        const QString where = QStandardPaths::writableLocation(place.location);
        // An unset folder falls back to home; only home itself is "home".
        if (!where.isEmpty() && QDir::cleanPath(where) == clean
            && (place.location == QStandardPaths::HomeLocation || clean != QDir::cleanPath(QDir::homePath()))) {
            return QString::fromLatin1(place.icon);
        }
    }
    return QString();
}

} // namespace

FileIconProvider::FileIconProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QString FileIconProvider::source(const QString &path, int size)
{
    // Everything but unreserved characters is encoded, so a "?" or "#" in a
    // name can never be taken for the query or a fragment.
    return QStringLiteral("image://fileicon/") + QString::fromLatin1(QUrl::toPercentEncoding(path)) + kSizeQuery
        + QString::number(size);
}

std::optional<FileIconProvider::Request> FileIconProvider::decodeId(const QString &id)
{
    const qsizetype query = id.lastIndexOf(kSizeQuery);
    if (query < 0) {
        return std::nullopt;
    }
    bool ok = false;
    const int size = id.mid(query + kSizeQuery.size()).toInt(&ok);
    if (!ok || size <= 0) {
        return std::nullopt;
    }
    // The engine may hand the id over partly decoded (non-ASCII characters
    // as themselves), so decode from UTF-8, never Latin-1.
    const QString path = QUrl::fromPercentEncoding(id.left(query).toUtf8());
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return Request{path, size};
}

QStringList FileIconProvider::iconNamesForPath(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return {};
    }
    if (info.isDir()) {
        QStringList names;
        if (const QString place = placeIconName(info.absoluteFilePath()); !place.isEmpty()) {
            names.append(place);
        }
        names << QStringLiteral("folder") << QStringLiteral("inode-directory");
        return names;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return {type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic"), QStringLiteral("unknown")};
}

QStringList FileIconProvider::namesOrUnknown(const QString &path)
{
    QStringList names = iconNamesForPath(path);
    return names.isEmpty() ? unknownItemNames() : names;
}

QImage FileIconProvider::drawIcon(const QStringList &names, int pixels)
{
    QImage image = ThemeIconProvider::themedImage(names, pixels);
    if (image.isNull()) {
        image = ThemeIconProvider::themedImage(unknownItemNames(), pixels);
    }
    return image;
}

QImage FileIconProvider::iconImage(const QString &path, int pixels)
{
    return drawIcon(namesOrUnknown(path), pixels);
}

QImage FileIconProvider::cachedIcon(const QString &path, int pixels)
{
    const QStringList names = namesOrUnknown(path);
    const QString key = names.join(QLatin1Char('\n')) + QLatin1Char('@') + QString::number(pixels);
    {
        const QMutexLocker locker(&m_cacheLock);
        if (const auto found = m_cache.constFind(key); found != m_cache.constEnd()) {
            return *found;
        }
    }
    const QImage image = drawIcon(names, pixels);
    const QMutexLocker locker(&m_cacheLock);
    if (m_cache.size() >= kCacheLimit) {
        m_cache.clear();
    }
    m_cache.insert(key, image);
    return image;
}

QImage FileIconProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const std::optional<Request> request = decodeId(id);
    int pixels = request ? request->size : kDefaultPixels;
    if (requestedSize.isValid() && !requestedSize.isEmpty()) {
        pixels = std::max(requestedSize.width(), requestedSize.height());
    }
    pixels = std::clamp(pixels, 1, kMaxPixels);
    const QImage image = cachedIcon(request ? request->path : QString(), pixels);
    if (size) {
        *size = image.size();
    }
    return image;
}
