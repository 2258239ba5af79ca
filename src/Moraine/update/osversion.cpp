#include "Moraine/update/osversion.h"

#include <QRegularExpression>

namespace moraine {

namespace {

// Nine digits at most, so every number fits an int.
const QRegularExpression &decimalVersion()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9})(?:\\.(\\d{1,9}))?\\z"));
    return pattern;
}

const QRegularExpression &kernelRelease()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9})\\.(\\d{1,9})(?:\\.(\\d{1,9}))?"));
    return pattern;
}

} // namespace

std::optional<OsVersion> OsVersion::parse(const QString &text)
{
    const QRegularExpressionMatch match = decimalVersion().match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return OsVersion{match.captured(1).toInt(), match.hasCaptured(2) ? match.captured(2).toInt() : 0};
}

std::optional<OsVersion> OsVersion::fromKernelRelease(const QString &release)
{
    const QRegularExpressionMatch match = kernelRelease().match(release);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return OsVersion{match.captured(1).toInt(), match.captured(2).toInt()};
}

QString OsVersion::toString() const
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor);
}

QString boundText(const std::optional<OsVersion> &bound)
{
    return bound ? bound->toString() : QStringLiteral("-1.0");
}

std::optional<QString> fullKernelVersion(const QString &release)
{
    const QRegularExpressionMatch match = kernelRelease().match(release);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString patch = match.hasCaptured(3) ? match.captured(3) : QStringLiteral("0");
    return QString::number(match.captured(1).toInt()) + QLatin1Char('.') + QString::number(match.captured(2).toInt())
           + QLatin1Char('.') + QString::number(patch.toInt());
}

} // namespace moraine
