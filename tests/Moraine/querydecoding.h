#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <utility>

using QueryList = QList<std::pair<QString, QString>>;

// The query items of `url` as a web server or mail program reads the encoded
// address: split at '&' and '=', '+' taken as a blank, then percent-decoded.
// An encoder that leaves '+', '&', '=' or '#' bare fails against this.
inline QueryList formDecodedQuery(const QUrl &url)
{
    QueryList items;
    for (const QByteArray &pair : url.query(QUrl::FullyEncoded).toLatin1().replace('+', ' ').split('&')) {
        const qsizetype equals = pair.indexOf('=');
        items.append({QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(equals))),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(equals < 0 ? QByteArray() : pair.mid(equals + 1)))});
    }
    return items;
}

// The same items as Qt's own parser reads them back from the encoded text.
inline QueryList strictDecodedQuery(const QUrl &url)
{
    return QUrlQuery(QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode)).queryItems(QUrl::FullyDecoded);
}
