#pragma once

#include <QString>

#include <optional>

namespace platform {

/// One text read from the system. `error` is the errno of a failed read;
/// 0 means the read worked, though the text may still be empty.
struct SystemText
{
    QString text;
    int error = 0;

    [[nodiscard]] bool failed() const { return error != 0; }
};

/// The processor's nominal clock rate as the kernel publishes it.
struct ClockRate
{
    enum class Outcome { known, absent, unreadable };
    Outcome outcome = Outcome::absent;
    quint64 hertz = 0;
};

/// The package databases a distribution may keep, asked in this order.
enum class PackageTool { dpkg, rpm, pacman };

/// What the distribution's package database said about one query.
struct PackageQuery
{
    bool ran = false; ///< false: this system has no such database
    int exitCode = 0;
    QString output;
};

/// The local facts the support kit's system report is made of. One real
/// implementation reads this machine; tests give their own.
class SystemFacts
{
public:
    virtual ~SystemFacts() = default;

    /// Whether the firmware's identity table (DMI) exists at all.
    [[nodiscard]] virtual bool hasFirmwareTable() const = 0;
    /// One DMI field by its file name: "product_name", "product_version",
    /// "board_name", "sys_vendor", "product_serial" (root-only on most systems).
    [[nodiscard]] virtual SystemText firmwareField(const QString &field) const = 0;

    /// The board's name in the device tree (ARM and other boards without
    /// DMI: "Raspberry Pi 4 Model B Rev 1.4"); empty where there is none.
    [[nodiscard]] virtual QString deviceTreeModel() const = 0;
    /// On a virtual machine the hypervisor's name, or an empty text when it
    /// gives none; nothing on real hardware.
    [[nodiscard]] virtual std::optional<QString> hypervisor() const = 0;

    /// The processor's name: "model name" of the first processor, else a
    /// name from the ARM implementer and part numbers or the device tree.
    [[nodiscard]] virtual SystemText processorBrand() const = 0;
    /// cpufreq's highest rate, else the highest "cpu MHz" of /proc/cpuinfo.
    [[nodiscard]] virtual ClockRate processorClock() const = 0;
    [[nodiscard]] virtual std::optional<quint64> physicalMemoryBytes() const = 0;
    /// The machine's architecture as the kernel names it ("x86_64", "aarch64").
    [[nodiscard]] virtual SystemText machineArchitecture() const = 0;
    /// The architecture this program was compiled for, in the kernel's names.
    [[nodiscard]] virtual QString programArchitecture() const = 0;

    /// The distribution's pretty name; empty when it has none.
    [[nodiscard]] virtual QString distributionName() const = 0;
    [[nodiscard]] virtual QString kernelRelease() const = 0;
    [[nodiscard]] virtual std::optional<qint64> uptimeSeconds() const = 0;
    [[nodiscard]] virtual std::optional<qint64> secondsSinceLaunch() const = 0;
    /// The current locale's language code ("de"); empty for the C locale.
    [[nodiscard]] virtual QString languageCode() const = 0;

    /// The running program's file.
    [[nodiscard]] virtual SystemText executablePath() const = 0;
    /// 0 when the file at `path` is present on disk, else the errno.
    [[nodiscard]] virtual int fileStatus(const QString &path) const = 0;
    [[nodiscard]] virtual QString environmentValue(const QString &name) const = 0;
    /// The sandbox's description of a Flatpak application; empty outside one.
    [[nodiscard]] virtual QString flatpakInfo() const = 0;
    /// The packages that ship `path`: "dpkg -S" ("name: path" lines), or
    /// the names alone from "rpm -qf" and "pacman -Qqo".
    [[nodiscard]] virtual PackageQuery packageOwning(PackageTool tool, const QString &path) const = 0;
    /// The installed version of `package` (pacman: "name version").
    [[nodiscard]] virtual PackageQuery packageVersion(PackageTool tool, const QString &package) const = 0;
};

/// The facts of the machine this process runs on.
[[nodiscard]] const SystemFacts &systemFacts();

} // namespace platform
