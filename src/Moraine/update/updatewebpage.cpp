#include "Moraine/update/updatewebpage.h"

#include "Moraine/update/osversion.h"

#include <QCoreApplication>
#include <QUrl>

namespace moraine {

QString percentEncodeAlphanumerics(const QString &text)
{
    // toPercentEncoding keeps "-._~" unless told to encode them as well.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), QByteArrayLiteral("-._~")));
}

bool isValidUrlText(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty();
}

KMResult<QString> downloadsPageAddress(const QString &pageURL, const HostFacts &facts)
{
    const std::optional<QString> architecture = downloadsArchitectureCode(facts.machine);
    if (!architecture) {
        return KMError{QStringLiteral("Unknown CPU type: ") + facts.machine, -1};
    }
    return pageURL + QStringLiteral("?arc=") + *architecture + QStringLiteral("&ver=")
           + percentEncodeAlphanumerics(facts.shortVersion) + QStringLiteral("&build=")
           + percentEncodeAlphanumerics(facts.buildNumber) + QStringLiteral("&macos=")
           + percentEncodeAlphanumerics(fullKernelVersion(facts.kernelRelease).value_or(QString()));
}

void checkForUpdatePageShow(KitServices &kit, const QString &pageURL)
{
    const KMResult<QString> address = downloadsPageAddress(pageURL, HostFacts::current());
    if (!address.ok()) {
        kit.showAlert(QCoreApplication::translate("KitAlert", "Unable to obtain the CPU Type"), address.error().domain,
                      QString(), false);
        return;
    }
    if (!isValidUrlText(address.value())) {
        kit.showAlert(QCoreApplication::translate("KitAlert", "Unable to check for update"),
                      QStringLiteral("Invalid URL ") + address.value(), QString(), false);
        return;
    }
    kit.urlOpener().openUrl(QUrl(address.value(), QUrl::StrictMode));
}

} // namespace moraine
