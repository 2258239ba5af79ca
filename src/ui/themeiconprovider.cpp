#include "ui/themeiconprovider.h"

#include "ui/icontheme.h"

#include <QPainter>
#include <QUrlQuery>

#include <algorithm>

namespace {

constexpr int kDefaultPixels = 16;
constexpr int kMaxPixels = 1024;

} // namespace

ThemeIconProvider::ThemeIconProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QString ThemeIconProvider::source(const QString &name, int size, const QColor &color)
{
    QString url = QStringLiteral("image://themeicon/") + QString::fromLatin1(QUrl::toPercentEncoding(name))
        + QStringLiteral("?size=") + QString::number(size);
    if (color.isValid()) {
        url += QStringLiteral("&color=") + QString::fromLatin1(QUrl::toPercentEncoding(color.name(QColor::HexArgb)));
    }
    return url;
}

std::optional<ThemeIconProvider::Request> ThemeIconProvider::decodeId(const QString &id)
{
    const qsizetype queryStart = id.indexOf(QLatin1Char('?'));
    const QString name = QUrl::fromPercentEncoding(id.left(queryStart < 0 ? id.size() : queryStart).toUtf8());
    if (name.isEmpty()) {
        return std::nullopt;
    }
    Request request{name, kDefaultPixels, std::nullopt};
    if (queryStart < 0) {
        return request;
    }
    const QUrlQuery query(id.mid(queryStart + 1));
    if (query.hasQueryItem(QStringLiteral("size"))) {
        bool ok = false;
        const int size = query.queryItemValue(QStringLiteral("size")).toInt(&ok);
        if (!ok || size <= 0) {
            return std::nullopt;
        }
        request.size = size;
    }
    if (query.hasQueryItem(QStringLiteral("color"))) {
        const QColor color(query.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded));
        if (color.isValid()) {
            request.color = color;
        }
    }
    return request;
}

QImage ThemeIconProvider::themedImage(const QStringList &names, int pixels)
{
    for (const QString &name : names) {
        if (name.isEmpty()) {
            continue;
        }
        QImage image = drawThemeIcon(name, pixels);
        if (image.isNull()) {
            continue;
        }
        // A theme without this size hands out a smaller picture; scale it up
        // so every cell shows the same size.
        if (image.width() != pixels && image.height() != pixels) {
            image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        return image;
    }
    return QImage();
}

QImage ThemeIconProvider::tinted(const QImage &image, const QColor &color)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    painter.end();
    return result;
}

QImage ThemeIconProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const std::optional<Request> request = decodeId(id);
    QImage image;
    if (request) {
        int pixels = request->size;
        if (requestedSize.isValid() && !requestedSize.isEmpty()) {
            pixels = std::max(requestedSize.width(), requestedSize.height());
        }
        pixels = std::clamp(pixels, 1, kMaxPixels);
        image = themedImage({request->name}, pixels);
        if (!image.isNull() && request->color) {
            image = tinted(image, *request->color);
        }
        if (image.isNull()) {
            // A theme without the name: an empty square keeps the layout.
            image = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        }
    }
    if (size) {
        *size = image.size();
    }
    return image;
}
