#include "Moraine/sharetargets.h"

#include "Moraine/urlquery.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>

namespace moraine {

QString shareText(const QString &message, const QString &appName, const QString &targetURL)
{
    // The invitation is read by the person's friends, in the person's language.
    return message + QStringLiteral("\n\n") + QCoreApplication::translate("SharePanel", "Try %1 Today %2").arg(appName, targetURL)
           + QStringLiteral("\n\n#indieDev");
}

std::optional<QUrl> mailShareUrl(const QString &emailSubject, const QString &text)
{
    const QUrl base(QStringLiteral("mailto:"), QUrl::StrictMode);
    if (!base.isValid()) {
        return std::nullopt;
    }
    return withQueryItems(base, {{QStringLiteral("subject"), emailSubject}, {QStringLiteral("body"), text}});
}

std::optional<QUrl> facebookShareUrl(const QString &host, const QString &targetURL)
{
    const std::optional<QUrl> base = endpoint(host, QStringLiteral("/sharer/sharer.php"));
    if (!base) {
        return std::nullopt;
    }
    return withQueryItems(*base, {{QStringLiteral("display"), QStringLiteral("page")}, {QStringLiteral("u"), targetURL}});
}

std::optional<QUrl> intentShareUrl(const QString &baseURL, const QString &text)
{
    const QUrl base(baseURL, QUrl::StrictMode);
    if (!base.isValid() || base.scheme().isEmpty() || base.host().isEmpty()) {
        return std::nullopt;
    }
    return withQueryItems(base, {{QStringLiteral("text"), text}});
}

QString facebookSharerHost()
{
    return platform::buildinfo::shareFacebookHost();
}

QString threadsIntentURL()
{
    const std::optional<QUrl> url = endpoint(platform::buildinfo::shareThreadsHost(), QStringLiteral("/intent/post"));
    return url ? url->toString() : QString();
}

QString xIntentURL()
{
    const std::optional<QUrl> url = endpoint(platform::buildinfo::shareXHost(), QStringLiteral("/intent/tweet"));
    return url ? url->toString() : QString();
}

void openComponents(platform::UrlOpener &opener, const std::optional<QUrl> &components)
{
    if (!components || !components->isValid()) {
        return;
    }
    opener.openUrl(*components);
}

} // namespace moraine
