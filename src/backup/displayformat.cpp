#include "backup/displayformat.h"

#include <array>
#include <cmath>

namespace displayformat {

QString count(quint64 value, const QLocale &locale)
{
    return locale.toString(value);
}

QString byteCount(quint64 bytes, const QLocale &locale)
{
    if (bytes == 0) {
        return QStringLiteral("Zero KB");
    }
    if (bytes == 1) {
        return QStringLiteral("1 byte");
    }
    if (bytes < 1000) {
        return locale.toString(bytes) + QStringLiteral(" bytes");
    }
    static constexpr std::array<const char *, 6> units = {"KB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    long double divisor = 1000.0L;
    while (unit + 1 < units.size() && bytes >= divisor * 1000.0L) {
        divisor *= 1000.0L;
        ++unit;
    }
    double value = std::round(double(bytes / divisor) * 10.0) / 10.0;
    if (value >= 1000.0 && unit + 1 < units.size()) {
        // 999,950 bytes rounds to 1,000.0 KB: show it as 1.0 MB instead.
        value = std::round(value / 100.0) / 10.0;
        ++unit;
    }
    return locale.toString(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString logLine(double elapsedSeconds, const QString &message, const QLocale &locale)
{
    double seconds = std::isfinite(elapsedSeconds) && elapsedSeconds > 0 ? elapsedSeconds : 0.0;
    seconds = std::round(seconds * 100.0) / 100.0;
    const QString number = locale.toString(seconds, 'f', QLocale::FloatingPointShortest);
    const QString column = (QString(8, QLatin1Char(' ')) + number).right(9);
    return column + QStringLiteral("  ") + message;
}

} // namespace displayformat
