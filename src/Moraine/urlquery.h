#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

namespace moraine {

using QueryItems = QList<std::pair<QString, QString>>;

/// `base` with exactly these query items, in this order. Keys and values are
/// percent-encoded whole, "+" included: mail programs and web servers read a
/// bare "+" in a query as a blank.
[[nodiscard]] QUrl withQueryItems(const QUrl &base, const QueryItems &items);

/// The address of `path` on the site `host` ("https://example.com"); nothing
/// when `host` is not an absolute address with a host name.
[[nodiscard]] std::optional<QUrl> endpoint(const QString &host, const QString &path);

} // namespace moraine
