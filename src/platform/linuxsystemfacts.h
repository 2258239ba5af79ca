#pragma once

#include "platform/systemfacts.h"

#include <QByteArray>

namespace platform {

/// Reads this machine's facts from sysfs, procfs, os-release, the C library
/// and the package database.
class LinuxSystemFacts final : public SystemFacts
{
public:
    /// `dmiDir` is where the firmware table lives; tests point it elsewhere.
    explicit LinuxSystemFacts(QString dmiDir = QStringLiteral("/sys/class/dmi/id"));

    [[nodiscard]] bool hasFirmwareTable() const override;
    [[nodiscard]] SystemText firmwareField(const QString &field) const override;
    [[nodiscard]] SystemText processorBrand() const override;
    [[nodiscard]] ClockRate processorClock() const override;
    [[nodiscard]] std::optional<quint64> physicalMemoryBytes() const override;
    [[nodiscard]] SystemText machineArchitecture() const override;
    [[nodiscard]] QString programArchitecture() const override;
    [[nodiscard]] QString distributionName() const override;
    [[nodiscard]] QString kernelRelease() const override;
    [[nodiscard]] std::optional<qint64> uptimeSeconds() const override;
    [[nodiscard]] std::optional<qint64> secondsSinceLaunch() const override;
    [[nodiscard]] QString languageCode() const override;
    [[nodiscard]] SystemText executablePath() const override;
    [[nodiscard]] int fileStatus(const QString &path) const override;
    [[nodiscard]] QString environmentValue(const QString &name) const override;
    [[nodiscard]] QString flatpakInfo() const override;
    [[nodiscard]] PackageQuery packageOwning(const QString &path) const override;
    [[nodiscard]] PackageQuery packageVersion(const QString &package) const override;

private:
    QString m_dmiDir;
};

// Pure parsers of the files above, fed bytes.
namespace linuxfacts {

/// The first processor's "model name" (x86), else its "Processor" or
/// "Hardware" line (older ARM kernels); empty when there is none.
[[nodiscard]] QString processorBrand(const QByteArray &cpuinfo);

/// PRETTY_NAME of an os-release file, unquoted; empty when absent.
[[nodiscard]] QString prettyName(const QByteArray &osRelease);

/// Seconds between the process's start (field 22 of /proc/self/stat, in
/// clock ticks since boot) and `uptimeSeconds`; nothing when unparsable.
[[nodiscard]] std::optional<qint64> secondsSinceStart(const QByteArray &procStat, long ticksPerSecond,
                                                      qint64 uptimeSeconds);

/// A cpufreq file's value (kHz) in hertz; nothing when it is not a number.
[[nodiscard]] std::optional<quint64> kilohertzToHertz(const QByteArray &value);

/// The language part of a locale name ("de_DE.UTF-8" gives "de"); empty
/// for the C and POSIX locales.
[[nodiscard]] QString languageOfLocale(const QString &localeName);

} // namespace linuxfacts
} // namespace platform
