#pragma once

#include "platform/systemfacts.h"

#include <QByteArray>

#include <functional>

namespace platform {

/// Reads this machine's facts from sysfs, procfs, os-release, the C library
/// and the package database.
class LinuxSystemFacts final : public SystemFacts
{
public:
    /// The hypervisor's vendor signature from the processor (CPUID), empty
    /// where there is none.
    using HypervisorSignature = std::function<QString()>;

    /// `rootDir` is the folder that holds "sys", "proc" and "etc"; tests
    /// point it at recorded files of other machines and give their own
    /// `signature`.
    explicit LinuxSystemFacts(QString rootDir = QStringLiteral("/"),
                              HypervisorSignature signature = cpuHypervisorSignature);

    /// This processor's CPUID hypervisor signature ("KVMKVMKVM").
    [[nodiscard]] static QString cpuHypervisorSignature();

    [[nodiscard]] bool hasFirmwareTable() const override;
    [[nodiscard]] SystemText firmwareField(const QString &field) const override;
    [[nodiscard]] QString deviceTreeModel() const override;
    [[nodiscard]] std::optional<QString> hypervisor() const override;
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
    [[nodiscard]] PackageQuery packageOwning(PackageTool tool, const QString &path) const override;
    [[nodiscard]] PackageQuery packageVersion(PackageTool tool, const QString &package) const override;

private:
    [[nodiscard]] QString path(const char *relative) const;
    [[nodiscard]] QByteArray cpuinfo() const;

    QString m_root;
    HypervisorSignature m_signature;
};

// Pure parsers of the files above, fed bytes.
namespace linuxfacts {

/// The processor's name from /proc/cpuinfo: the first "model name" (x86),
/// else the cores named by their ARM implementer and part numbers, else the
/// device tree's first CPU ("compatible" list), else a "Processor",
/// "Hardware", "cpu model", "uarch" or "cpu" line; empty when none helps.
[[nodiscard]] QString processorBrand(const QByteArray &cpuinfo, const QByteArray &deviceTreeCpu = {});

/// The distinct cores of an ARM cpuinfo by implementer and part, in order of
/// appearance: "ARM Cortex-A53 + Cortex-A72"; empty when a core is unknown.
[[nodiscard]] QString armCoreNames(const QByteArray &cpuinfo);

/// A device tree "compatible" list's first entry as a name: "arm,cortex-a72"
/// gives "ARM Cortex-A72".
[[nodiscard]] QString compatibleName(const QByteArray &compatible);

/// The highest "cpu MHz" of a cpuinfo, in hertz; nothing when none.
[[nodiscard]] std::optional<quint64> highestCpuMegahertz(const QByteArray &cpuinfo);

/// Whether the first processor's "flags" include "hypervisor".
[[nodiscard]] bool hasHypervisorFlag(const QByteArray &cpuinfo);

/// A hypervisor's usual name from its CPUID signature, its
/// /sys/hypervisor/type or the DMI system vendor it sets; empty when the
/// text names none.
[[nodiscard]] QString hypervisorName(const QString &text);

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
