#pragma once

#include "platform/urlopener.h"

#include <QString>
#include <QUrl>

#include <optional>

// The share panel's texts and addresses, apart from any view.
namespace moraine {

/// message + "\n\nTry " + appName + " Today " + targetURL + the hashtag line.
[[nodiscard]] QString shareText(const QString &message, const QString &appName, const QString &targetURL);

/// "mailto:" with no recipient, "subject" then "body".
[[nodiscard]] std::optional<QUrl> mailShareUrl(const QString &emailSubject, const QString &text);

/// The sharer page on `host` with "display" = "page" and "u" = the product
/// page; the message is not passed.
[[nodiscard]] std::optional<QUrl> facebookShareUrl(const QString &host, const QString &targetURL);

/// A web intent (`baseURL` is its full address) with "text" = the share text.
[[nodiscard]] std::optional<QUrl> intentShareUrl(const QString &baseURL, const QString &text);

/// Full addresses of the configured endpoints.
[[nodiscard]] QString facebookSharerHost();
[[nodiscard]] QString threadsIntentURL();
[[nodiscard]] QString xIntentURL();

/// Hands a built address to the desktop; no address, or an invalid one,
/// does nothing. The desktop's answer is ignored.
void openComponents(platform::UrlOpener &opener, const std::optional<QUrl> &components);

} // namespace moraine
