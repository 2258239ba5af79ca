#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

/// Serves "image://fileicon/<percent-encoded path>?size=N": the desktop
/// theme's icon for a file or folder, found by its content type (by name, the
/// file is never read) and drawn at the size asked for, so icons stay crisp
/// at every size of the source grid. An item that does not exist gets the
/// unknown-item icon.
class FileIconProvider : public QQuickImageProvider
{
public:
    static constexpr const char *kProviderName = "fileicon";

    /// What one image URL asks for.
    struct Request
    {
        QString path;
        int size = 0;
    };

    FileIconProvider();

    /// The image URL of `path`'s icon at `size` points.
    [[nodiscard]] static QString source(const QString &path, int size);
    /// The request behind an image id (the URL after "image://fileicon/", as
    /// the engine hands it over); none when the id is malformed.
    [[nodiscard]] static std::optional<Request> decodeId(const QString &id);
    /// Theme icon names for the item at `path`, best first; empty when the
    /// item does not exist.
    [[nodiscard]] static QStringList iconNamesForPath(const QString &path);
    /// The icon of `path` as an image of `pixels` × `pixels`.
    [[nodiscard]] static QImage iconImage(const QString &path, int pixels);

    /// Cached per set of icon names and size: thousands of sources share a
    /// few content types, and drawing an icon takes milliseconds.
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

private:
    static constexpr qsizetype kCacheLimit = 256;

    [[nodiscard]] static QStringList namesOrUnknown(const QString &path);
    [[nodiscard]] static QImage drawIcon(const QStringList &names, int pixels);
    [[nodiscard]] QImage cachedIcon(const QString &path, int pixels);

    QMutex m_cacheLock; // the engine may ask from its loader threads
    QHash<QString, QImage> m_cache;
};
