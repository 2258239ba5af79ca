#pragma once

#include <QLocale>
#include <QString>

// Display texts shared by the job's log, the run's messages and the
// controller's volume labels.
namespace displayformat {

/// A count with the locale's grouping: 1234 gives "1,234" in English.
[[nodiscard]] QString count(quint64 value, const QLocale &locale = QLocale());

/// A byte amount in decimal units as a file manager shows file sizes:
/// "Zero KB", "1 byte", "532 bytes", "1.2 KB", "4.7 GB" (1 KB = 1000 bytes).
[[nodiscard]] QString byteCount(quint64 bytes, const QLocale &locale = QLocale());

/// A log line: the elapsed seconds (at most 2 fraction digits, the locale's
/// separators) right-aligned in a 9-character column, 2 blanks, the message.
/// A number longer than 9 characters loses its leading characters.
[[nodiscard]] QString logLine(double elapsedSeconds, const QString &message, const QLocale &locale = QLocale());

} // namespace displayformat
