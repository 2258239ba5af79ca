#include "Moraine/update/updatewebpage.h"

#include "Moraine/kitalert.h"
#include "Moraine/update/osversion.h"
#include "platform/urlopener.h"

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

std::optional<QString> downloadsPageAddress(const QString &pageURL, const HostFacts &facts, QString *alertMessage)
{
    const std::optional<QString> architecture = downloadsArchitectureCode(facts.machine);
    if (!architecture) {
        if (alertMessage) {
            *alertMessage = QStringLiteral("Unknown CPU type: ") + facts.machine;
        }
        return std::nullopt;
    }
    return pageURL + QStringLiteral("?arc=") + *architecture + QStringLiteral("&ver=")
           + percentEncodeAlphanumerics(facts.shortVersion) + QStringLiteral("&build=")
           + percentEncodeAlphanumerics(facts.buildNumber) + QStringLiteral("&macos=")
           + percentEncodeAlphanumerics(fullKernelVersion(facts.kernelRelease).value_or(QString()));
}

void checkForUpdatePageShow(const QString &pageURL)
{
    QString problem;
    const std::optional<QString> address = downloadsPageAddress(pageURL, HostFacts::current(), &problem);
    if (!address) {
        showAlert(QCoreApplication::translate("KitAlert", "Unable to obtain the CPU Type"), problem, QString(), false);
        return;
    }
    if (!isValidUrlText(*address)) {
        showAlert(QCoreApplication::translate("KitAlert", "Unable to check for update"), QStringLiteral("Invalid URL ") + *address, QString(),
                  false);
        return;
    }
    platform::urlOpener().openUrl(QUrl(*address, QUrl::StrictMode));
}

} // namespace moraine
