#include "Moraine/urlquery.h"

namespace moraine {

QUrl withQueryItems(const QUrl &base, const QueryItems &items)
{
    QString query;
    for (const auto &[key, value] : items) {
        if (!query.isEmpty()) {
            query += QLatin1Char('&');
        }
        query += QString::fromLatin1(QUrl::toPercentEncoding(key)) + QLatin1Char('=')
                 + QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    QUrl url = base;
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

std::optional<QUrl> endpoint(const QString &host, const QString &path)
{
    QUrl url(host, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        return std::nullopt;
    }
    url.setPath(path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

} // namespace moraine
