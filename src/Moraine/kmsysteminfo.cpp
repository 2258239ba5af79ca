#include "Moraine/kmsysteminfo.h"

#include <QFileInfo>

#include <array>
#include <cerrno>

namespace moraine {
namespace {

using platform::SystemText;

// Firmware tables often carry the board maker's template text instead of a
// real value; such a text names nothing.
bool isPlaceholder(const QString &text)
{
    static const std::array<QLatin1String, 12> placeholders{
        QLatin1String("to be filled by o.e.m."), QLatin1String("to be filled by oem"),
        QLatin1String("default string"),         QLatin1String("system product name"),
        QLatin1String("system version"),         QLatin1String("system serial number"),
        QLatin1String("not specified"),          QLatin1String("not applicable"),
        QLatin1String("none"),                   QLatin1String("o.e.m."),
        QLatin1String("0123456789"),             QLatin1String("type1productconfigid"),
    };
    const QString folded = text.trimmed().toLower();
    if (folded.isEmpty()) {
        return true;
    }
    for (const QLatin1String &placeholder : placeholders) {
        if (folded == placeholder) {
            return true;
        }
    }
    return false;
}

// A product version that is a name people use ("ThinkPad X1 Carbon Gen 9")
// rather than a revision ("1.0", "A6") or a machine type.
bool looksLikeMarketingName(const QString &text)
{
    if (isPlaceholder(text) || !text.contains(QLatin1Char(' '))) {
        return false;
    }
    for (const QChar c : text) {
        if (c.isLetter()) {
            return true;
        }
    }
    return false;
}

QString failedWithError(const SystemText &read)
{
    return QStringLiteral("Failed with Error: ") + QString::number(read.failed() ? read.error : 0);
}

QString normalizedArchitecture(const QString &name)
{
    const QString arch = name.trimmed().toLower();
    if (arch == QLatin1String("amd64")) {
        return QStringLiteral("x86_64");
    }
    if (arch == QLatin1String("i386") || arch == QLatin1String("i486") || arch == QLatin1String("i586")
        || arch == QLatin1String("i686")) {
        return QStringLiteral("i686");
    }
    if (arch == QLatin1String("arm64")) {
        return QStringLiteral("aarch64");
    }
    if (arch.startsWith(QLatin1String("armv")) || arch == QLatin1String("arm")) {
        return QStringLiteral("arm");
    }
    return arch;
}

// A 32-bit program on its own family's 64-bit machine runs natively.
bool runsNatively(const QString &program, const QString &machine)
{
    if (program == machine) {
        return true;
    }
    return (program == QLatin1String("i686") && machine == QLatin1String("x86_64"))
           || (program == QLatin1String("arm") && machine == QLatin1String("aarch64"));
}

// "key=value" of one [section] of an INI-style text.
QString iniValue(const QString &text, const QString &section, const QString &key)
{
    QString current;
    for (const QString &rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (current == section && equals > 0 && line.left(equals).trimmed() == key) {
            return line.mid(equals + 1).trimmed();
        }
    }
    return {};
}

// The package list of "dpkg -S" for one path: "pkg1, pkg2:arch: /path".
// Nothing when no line names the path; an empty list when a line does but
// lists no package.
std::optional<QStringList> packagesOwning(const QString &output, const QString &path)
{
    const QString suffix = QStringLiteral(": ") + path;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("diversion by ")) || !line.endsWith(suffix)) {
            continue;
        }
        QStringList packages;
        for (const QString &name : line.left(line.size() - suffix.size()).split(QLatin1Char(','))) {
            if (!name.trimmed().isEmpty()) {
                packages.append(name.trimmed());
            }
        }
        return packages;
    }
    return std::nullopt;
}

// One package name a line, as "rpm -qf" and "pacman -Qqo" print them.
QStringList packageNames(const QString &output)
{
    QStringList names;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) {
            names.append(line.trimmed());
        }
    }
    return names;
}

} // namespace

QString KMError::localizedDescription() const
{
    return domain + QStringLiteral(" (error ") + QString::number(code) + QStringLiteral(")");
}

KMSystemInfo::KMSystemInfo(const platform::SystemFacts &facts)
    : m_facts(facts)
{
}

QString KMSystemInfo::modelName() const
{
    // Most machines have no such name; the identifier serves without a word
    // on the console, which would spoil `vellory-cli report`.
    const KMResult<QString> marketing = marketingName();
    return marketing.ok() ? marketing.value() : modelIdentifier();
}

KMResult<QString> KMSystemInfo::marketingName() const
{
    if (!m_facts.hasFirmwareTable()) {
        return KMError{QStringLiteral("Failed to find Mac Identifier Property List"), ENOENT};
    }
    // Makers that give the product name a type number keep the name people
    // know in the version field.
    const SystemText version = m_facts.firmwareField(QStringLiteral("product_version"));
    if (version.failed()) {
        return KMError{qt_error_string(version.error), version.error};
    }
    if (!looksLikeMarketingName(version.text)) {
        return KMError{QStringLiteral("Failed to find name"), ENOENT};
    }
    return version.text;
}

KMResult<QString> KMSystemInfo::productName() const
{
    const SystemText product = m_facts.firmwareField(QStringLiteral("product_name"));
    if (!m_facts.hasFirmwareTable() || product.failed() || product.text.isEmpty()) {
        return KMError{QStringLiteral("Failed to get platform"), EIO};
    }
    const SystemText vendor = m_facts.firmwareField(QStringLiteral("sys_vendor"));
    if (vendor.failed() || isPlaceholder(vendor.text)) {
        return product.text;
    }
    return vendor.text + QLatin1Char(' ') + product.text;
}

KMResult<QString> KMSystemInfo::serialNumber() const
{
    if (!m_facts.hasFirmwareTable()) {
        return KMError{QStringLiteral("Failed to get platform"), EIO};
    }
    const SystemText serial = m_facts.firmwareField(QStringLiteral("product_serial"));
    if (serial.failed() || isPlaceholder(serial.text)) {
        return KMError{QStringLiteral("Failed to obtain serial number"), EIO};
    }
    return serial.text;
}

QString KMSystemInfo::modelIdentifier() const
{
    const SystemText product = m_facts.firmwareField(QStringLiteral("product_name"));
    if (!product.failed() && !isPlaceholder(product.text)) {
        return product.text;
    }
    // Self-built desktops name only their board.
    const SystemText board = m_facts.firmwareField(QStringLiteral("board_name"));
    if (!board.failed() && !isPlaceholder(board.text)) {
        return board.text;
    }
    // Boards without DMI name themselves in the device tree; a virtual
    // machine is at least named as one, with its hypervisor.
    const QString deviceTree = m_facts.deviceTreeModel();
    if (!deviceTree.isEmpty()) {
        return deviceTree;
    }
    if (const std::optional<QString> hypervisor = m_facts.hypervisor()) {
        return hypervisor->isEmpty() ? QStringLiteral("Virtual machine")
                                     : QStringLiteral("Virtual machine (") + *hypervisor + QLatin1Char(')');
    }
    if (!product.failed() && !product.text.isEmpty()) {
        return product.text;
    }
    return failedWithError(product);
}

int KMSystemInfo::isTranslated() const
{
    const SystemText machine = m_facts.machineArchitecture();
    if (machine.failed() || machine.text.isEmpty()) {
        return -1;
    }
    const QString program = normalizedArchitecture(m_facts.programArchitecture());
    return runsNatively(program, normalizedArchitecture(machine.text)) ? 0 : 1;
}

int KMSystemInfo::cpuType() const
{
    const SystemText machine = m_facts.machineArchitecture();
    if (machine.failed()) {
        return -1;
    }
    // ELF machine numbers (EM_*), the kernel's own names for processor types.
    const QString arch = normalizedArchitecture(machine.text);
    if (arch == QLatin1String("x86_64")) {
        return 62;
    }
    if (arch == QLatin1String("i686")) {
        return 3;
    }
    if (arch == QLatin1String("aarch64")) {
        return 183;
    }
    if (arch == QLatin1String("arm")) {
        return 40;
    }
    if (arch == QLatin1String("riscv64")) {
        return 243;
    }
    if (arch == QLatin1String("ppc64le") || arch == QLatin1String("ppc64")) {
        return 21;
    }
    if (arch == QLatin1String("s390x")) {
        return 22;
    }
    return -1;
}

namespace {

// A program run from a Flatpak, a Snap or an AppImage: the bundle names it.
std::optional<QString> bundleIdentity(const platform::SystemFacts &facts)
{
    const QString flatpakInfo = facts.flatpakInfo();
    QString flatpakId = facts.environmentValue(QStringLiteral("FLATPAK_ID"));
    if (flatpakId.isEmpty()) {
        flatpakId = iniValue(flatpakInfo, QStringLiteral("Application"), QStringLiteral("name"));
    }
    if (!flatpakId.isEmpty() || !flatpakInfo.isEmpty()) {
        const QString branch = iniValue(flatpakInfo, QStringLiteral("Instance"), QStringLiteral("branch"));
        QString text = QStringLiteral("Flatpak");
        if (!flatpakId.isEmpty()) {
            text += QLatin1Char(' ') + flatpakId;
        }
        if (!branch.isEmpty()) {
            text += QStringLiteral(" (") + branch + QLatin1Char(')');
        }
        return text;
    }
    if (!facts.environmentValue(QStringLiteral("SNAP")).isEmpty()) {
        QString text = QStringLiteral("Snap");
        for (const char *name : {"SNAP_NAME", "SNAP_VERSION"}) {
            const QString value = facts.environmentValue(QLatin1String(name));
            if (!value.isEmpty()) {
                text += QLatin1Char(' ') + value;
            }
        }
        const QString revision = facts.environmentValue(QStringLiteral("SNAP_REVISION"));
        if (!revision.isEmpty()) {
            text += QStringLiteral(" (revision ") + revision + QLatin1Char(')');
        }
        return text;
    }
    const QString appImage = facts.environmentValue(QStringLiteral("APPIMAGE"));
    if (!appImage.isEmpty()) {
        return QStringLiteral("AppImage ") + QFileInfo(appImage).fileName();
    }
    return std::nullopt;
}

// What one package database says of the program: nothing when it has no
// such database or does not know the file, else the package and its
// version or the text of what failed.
std::optional<QString> packageIdentity(const platform::SystemFacts &facts, platform::PackageTool tool,
                                       const QString &executable)
{
    const platform::PackageQuery owners = facts.packageOwning(tool, executable);
    if (!owners.ran || owners.exitCode == 1) {
        return std::nullopt;
    }
    if (owners.exitCode != 0) {
        return QStringLiteral("Failed to get code signature details Error: ") + QString::number(owners.exitCode);
    }
    const std::optional<QStringList> packages = tool == platform::PackageTool::dpkg
                                                    ? packagesOwning(owners.output, executable)
                                                    : std::optional<QStringList>(packageNames(owners.output));
    if (!packages) {
        return QStringLiteral("Failed to get code signing signatures");
    }
    if (packages->isEmpty()) {
        return QStringLiteral("Failed to get the first signing certificate");
    }
    const QString package = packages->first();
    const platform::PackageQuery version = facts.packageVersion(tool, package);
    QString versionText = version.output.trimmed();
    // pacman answers "name version".
    if (tool == platform::PackageTool::pacman && versionText.startsWith(package + QLatin1Char(' '))) {
        versionText = versionText.mid(package.size() + 1).trimmed();
    }
    if (!version.ran || version.exitCode != 0 || versionText.isEmpty()) {
        return QStringLiteral("Failed to obtain the identity of the signer");
    }
    return QStringLiteral("Package ") + package + QLatin1Char(' ') + versionText;
}

} // namespace

QString KMSystemInfo::signingIdentity() const
{
    const SystemText executable = m_facts.executablePath();
    if (executable.failed() || executable.text.isEmpty()) {
        return QStringLiteral("Failed to read code signature Error: ") + QString::number(executable.error);
    }
    // A program replaced on disk while running (an upgrade) has no file left
    // to ask about.
    const int status = m_facts.fileStatus(executable.text);
    if (status != 0) {
        return QStringLiteral("Failed to get static security Error: ") + QString::number(status);
    }
    if (const std::optional<QString> bundle = bundleIdentity(m_facts)) {
        return *bundle;
    }
    // The first package database that knows the file names its package.
    for (const platform::PackageTool tool :
         {platform::PackageTool::dpkg, platform::PackageTool::rpm, platform::PackageTool::pacman}) {
        if (const std::optional<QString> package = packageIdentity(m_facts, tool, executable.text)) {
            return *package;
        }
    }
    // Built here: no package database knows the program.
    return QStringLiteral("Local build");
}

QString KMSystemInfo::cpuName(bool shortName) const
{
    const SystemText brand = m_facts.processorBrand();
    if (brand.failed() || brand.text.isEmpty()) {
        return failedWithError(brand);
    }
    if (!shortName) {
        return brand.text;
    }
    for (const char *tier : {"i9", "i7", "i5", "i3"}) {
        if (brand.text.contains(QLatin1String(tier))) {
            return QLatin1String(tier);
        }
    }
    return brand.text;
}

double KMSystemInfo::cpuGigahertz() const
{
    const platform::ClockRate clock = m_facts.processorClock();
    switch (clock.outcome) {
    case platform::ClockRate::Outcome::absent:
        return -1.0;
    case platform::ClockRate::Outcome::unreadable:
        return -2.0;
    case platform::ClockRate::Outcome::known:
        break;
    }
    return static_cast<double>(clock.hertz) / 1'000'000'000.0;
}

} // namespace moraine
