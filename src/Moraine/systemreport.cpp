#include "Moraine/systemreport.h"

#include <QLocale>
#include <QStringList>

#include <charconv>
#include <cmath>

namespace moraine {

std::optional<QString> shortDurationPhrase(qint64 seconds)
{
    if (seconds < 0) {
        return std::nullopt;
    }
    const qint64 days = seconds / 86400;
    const qint64 hours = (seconds % 86400) / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 rest = seconds % 60;

    QStringList parts;
    if (days > 0) {
        parts.append(QString::number(days) + (days == 1 ? QStringLiteral(" day") : QStringLiteral(" days")));
    }
    if (hours > 0) {
        parts.append(QString::number(hours) + QStringLiteral(" hr"));
    }
    if (minutes > 0) {
        parts.append(QString::number(minutes) + QStringLiteral(" min"));
    }
    if (rest > 0 || parts.isEmpty()) {
        parts.append(QString::number(rest) + QStringLiteral(" sec"));
    }
    return parts.join(QStringLiteral(", "));
}

QString memoryCountText(quint64 bytes)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB"};
    static const int fractionDigits[] = {0, 1, 2, 2, 2};
    if (bytes < 1024) {
        return QString::number(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    }
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (unit < 4) {
        // Step up also when rounding would show 1024 of this unit.
        const double scale = std::pow(10.0, fractionDigits[unit]);
        if (std::round(value * scale) / scale < 1024.0) {
            break;
        }
        value /= 1024.0;
        ++unit;
    }
    QString number = QString::number(value, 'f', fractionDigits[unit]);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0'))) {
            number.chop(1);
        }
        if (number.endsWith(QLatin1Char('.'))) {
            number.chop(1);
        }
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString gigahertzText(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    if (error != std::errc()) {
        return QString::number(value);
    }
    QString text = QString::fromLatin1(buffer, end - buffer);
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))) {
        text += QStringLiteral(".0");
    }
    return text;
}

std::optional<QString> englishLanguageName(const QString &code)
{
    if (code.isEmpty()) {
        return std::nullopt;
    }
    const QLocale::Language language = QLocale(code).language();
    if (language == QLocale::C || language == QLocale::AnyLanguage) {
        return std::nullopt;
    }
    const QString name = QLocale::languageToString(language);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

QString reportedSigner(QString identity)
{
    identity.replace(QStringLiteral("Developer ID Application: "), QStringLiteral("Dev.ID: "));
    identity.replace(QStringLiteral("Apple Mac OS Application Signing"), QString(QChar(0xF8FF)) + QStringLiteral(" App Store: "));
    identity.replace(QStringLiteral("Apple Development: "), QStringLiteral("Development: "));
    return identity;
}

QString reportText(const SystemReport &report)
{
    return report.line1 + QLatin1Char('\n') + report.line2 + QLatin1Char('\n') + report.line3 + QLatin1Char('\n');
}

QString systemVersionText(const platform::SystemFacts &facts)
{
    const QString distribution = facts.distributionName();
    const QString kernel = facts.kernelRelease();
    QString text;
    if (distribution.isEmpty()) {
        text = kernel.isEmpty() ? QStringLiteral("Linux") : QStringLiteral("Linux ") + kernel;
    } else {
        text = kernel.isEmpty() ? distribution : distribution + QStringLiteral(" with Linux ") + kernel;
    }
    text.replace(QStringLiteral("Version"), QStringLiteral("macOS"));
    return text;
}

namespace {

// The uptime's largest unit ("3 days"): the bare number alone would not say
// whether it counts days or seconds.
std::optional<QString> uptimeItem(const platform::SystemFacts &facts)
{
    const std::optional<qint64> seconds = facts.uptimeSeconds();
    if (!seconds) {
        return std::nullopt;
    }
    const std::optional<QString> phrase = shortDurationPhrase(*seconds);
    if (!phrase || phrase->isEmpty()) {
        return std::nullopt;
    }
    return phrase->section(QStringLiteral(", "), 0, 0);
}

} // namespace

SystemReport buildSystemReport(const KMSystemInfo &info, const std::optional<QString> &version)
{
    const platform::SystemFacts &facts = info.facts();
    SystemReport report;

    QStringList line1{version.value_or(QStringLiteral("Unknown"))};
    if (const std::optional<qint64> launched = facts.secondsSinceLaunch()) {
        if (const std::optional<QString> phrase = shortDurationPhrase(*launched)) {
            line1.append(*phrase);
        }
    }
    if (info.isTranslated() != 0) {
        line1.append(QStringLiteral("x86_64 version"));
    }
    line1.append(reportedSigner(info.signingIdentity()));
    report.line1 = line1.join(QStringLiteral(", "));

    QStringList line2{systemVersionText(facts)};
    if (const std::optional<QString> uptime = uptimeItem(facts)) {
        line2.append(*uptime);
    }
    if (const std::optional<QString> language = englishLanguageName(facts.languageCode())) {
        line2.append(*language);
    }
    report.line2 = line2.join(QStringLiteral(", "));

    const std::optional<quint64> memory = facts.physicalMemoryBytes();
    const QStringList line3{
        info.modelName(),
        info.cpuName(true),
        QStringLiteral("@ ") + gigahertzText(info.cpuGigahertz()) + QStringLiteral(" Ghz,"),
        memory ? memoryCountText(*memory) : QStringLiteral("Unknown"),
    };
    report.line3 = line3.join(QLatin1Char(' '));
    return report;
}

} // namespace moraine
