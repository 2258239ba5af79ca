#include "platform/linuxsystemfacts.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace platform {
namespace {

// sysfs and procfs files report a size of 4096 or 0 whatever they hold, so
// they are read with one bounded read rather than sized first.
SystemText readSmallFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {QString(), errno};
    }
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    ssize_t length = -1;
    do {
        length = ::read(fd, bytes.data(), bytes.size());
    } while (length < 0 && errno == EINTR);
    const int readError = errno;
    ::close(fd);
    if (length < 0) {
        return {QString(), readError};
    }
    bytes.truncate(length);
    return {QString::fromUtf8(bytes).trimmed(), 0};
}

PackageQuery runPackageTool(const QString &program, const QStringList &arguments)
{
    PackageQuery query;
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        return query;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // The answer is parsed, so it must not be translated.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        return query;
    }
    query.ran = true;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        query.exitCode = -1;
        return query;
    }
    query.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    query.output = QString::fromUtf8(process.readAllStandardOutput());
    return query;
}

std::optional<qint64> bootClockSeconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return std::nullopt;
    }
    return static_cast<qint64>(now.tv_sec);
}

} // namespace

namespace linuxfacts {

namespace {

// "key : value" pairs of a cpuinfo, in order.
QList<std::pair<QByteArray, QString>> cpuinfoFields(const QByteArray &cpuinfo)
{
    QList<std::pair<QByteArray, QString>> fields;
    for (const QByteArray &line : cpuinfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            continue;
        }
        const QString value = QString::fromUtf8(line.mid(colon + 1)).trimmed();
        if (!value.isEmpty()) {
            fields.append({line.left(colon).trimmed(), value});
        }
    }
    return fields;
}

QString firstField(const QList<std::pair<QByteArray, QString>> &fields, const QByteArray &key)
{
    for (const auto &[name, value] : fields) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

struct ArmCore
{
    int part;
    const char *name;
};

// Arm's own cores, by "CPU part" under implementer 0x41.
constexpr ArmCore kArmCores[] = {
    {0xb76, "ARM1176"},        {0xc07, "Cortex-A7"},      {0xc08, "Cortex-A8"},      {0xc09, "Cortex-A9"},
    {0xc0d, "Cortex-A17"},     {0xc0e, "Cortex-A17"},     {0xc0f, "Cortex-A15"},     {0xd01, "Cortex-A32"},
    {0xd02, "Cortex-A34"},     {0xd03, "Cortex-A53"},     {0xd04, "Cortex-A35"},     {0xd05, "Cortex-A55"},
    {0xd06, "Cortex-A65"},     {0xd07, "Cortex-A57"},     {0xd08, "Cortex-A72"},     {0xd09, "Cortex-A73"},
    {0xd0a, "Cortex-A75"},     {0xd0b, "Cortex-A76"},     {0xd0c, "Neoverse-N1"},    {0xd0d, "Cortex-A77"},
    {0xd0e, "Cortex-A76AE"},   {0xd40, "Neoverse-V1"},    {0xd41, "Cortex-A78"},     {0xd44, "Cortex-X1"},
    {0xd46, "Cortex-A510"},    {0xd47, "Cortex-A710"},    {0xd48, "Cortex-X2"},      {0xd49, "Neoverse-N2"},
    {0xd4b, "Cortex-A78C"},    {0xd4d, "Cortex-A715"},    {0xd4e, "Cortex-X3"},      {0xd4f, "Neoverse-V2"},
    {0xd80, "Cortex-A520"},    {0xd81, "Cortex-A720"},    {0xd82, "Cortex-X4"},
};

struct Implementer
{
    int code;
    const char *name;
};

constexpr Implementer kImplementers[] = {
    {0x41, "ARM"},     {0x42, "Broadcom"}, {0x43, "Cavium"},    {0x46, "Fujitsu"}, {0x48, "HiSilicon"},
    {0x4e, "NVIDIA"},  {0x50, "APM"},      {0x51, "Qualcomm"},  {0x53, "Samsung"}, {0x56, "Marvell"},
    {0x61, "Apple"},   {0x69, "Intel"},    {0x6d, "Microsoft"}, {0xc0, "Ampere"},
};

int hexNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 0);
    return ok ? value : -1;
}

// Device tree vendor prefixes as people write the makers' names.
QString vendorName(const QString &prefix)
{
    static const std::pair<const char *, const char *> vendors[] = {
        {"arm", "ARM"},           {"brcm", "Broadcom"}, {"qcom", "Qualcomm"}, {"apple", "Apple"},
        {"nvidia", "NVIDIA"},     {"sifive", "SiFive"}, {"thead", "T-Head"},  {"starfive", "StarFive"},
        {"rockchip", "Rockchip"}, {"allwinner", "Allwinner"}, {"amlogic", "Amlogic"}, {"marvell", "Marvell"},
    };
    for (const auto &[key, name] : vendors) {
        if (prefix == QLatin1String(key)) {
            return QLatin1String(name);
        }
    }
    return prefix;
}

} // namespace

QString armCoreNames(const QByteArray &cpuinfo)
{
    QString implementerName;
    QStringList cores;
    int implementer = -1;
    for (const auto &[key, value] : cpuinfoFields(cpuinfo)) {
        if (key == "CPU implementer") {
            implementer = hexNumber(value);
            continue;
        }
        if (key != "CPU part") {
            continue;
        }
        const int part = hexNumber(value);
        const char *core = nullptr;
        if (implementer == 0x41) {
            for (const ArmCore &known : kArmCores) {
                if (known.part == part) {
                    core = known.name;
                }
            }
        }
        const char *maker = nullptr;
        for (const Implementer &known : kImplementers) {
            if (known.code == implementer) {
                maker = known.name;
            }
        }
        if (!core || !maker) {
            return {};
        }
        if (implementerName.isEmpty()) {
            implementerName = QLatin1String(maker);
        }
        const QString name = QLatin1String(core);
        if (!cores.contains(name)) {
            cores.append(name);
        }
    }
    if (cores.isEmpty()) {
        return {};
    }
    return implementerName + QLatin1Char(' ') + cores.join(QStringLiteral(" + "));
}

QString compatibleName(const QByteArray &compatible)
{
    const QString first = QString::fromUtf8(compatible.split('\0').constFirst()).trimmed();
    const qsizetype comma = first.indexOf(QLatin1Char(','));
    if (first.isEmpty() || comma < 0) {
        return first;
    }
    QStringList words;
    for (const QString &word : first.mid(comma + 1).split(QLatin1Char('-'), Qt::SkipEmptyParts)) {
        // Short pieces are model codes ("a72", "mc"); longer ones are words.
        words.append(word.size() <= 3 ? word.toUpper() : word.left(1).toUpper() + word.mid(1));
    }
    return vendorName(first.left(comma)) + QLatin1Char(' ') + words.join(QLatin1Char('-'));
}

QString processorBrand(const QByteArray &cpuinfo, const QByteArray &deviceTreeCpu)
{
    const auto fields = cpuinfoFields(cpuinfo);
    if (const QString model = firstField(fields, "model name"); !model.isEmpty()) {
        return model;
    }
    if (const QString cores = armCoreNames(cpuinfo); !cores.isEmpty()) {
        return cores;
    }
    if (const QString fromTree = compatibleName(deviceTreeCpu); !fromTree.isEmpty()) {
        return fromTree;
    }
    for (const char *key : {"Processor", "Hardware", "cpu model", "uarch", "cpu"}) {
        if (const QString value = firstField(fields, key); !value.isEmpty()) {
            return value;
        }
    }
    return {};
}

std::optional<quint64> highestCpuMegahertz(const QByteArray &cpuinfo)
{
    std::optional<quint64> highest;
    for (const auto &[key, value] : cpuinfoFields(cpuinfo)) {
        bool ok = false;
        const double megahertz = key == "cpu MHz" ? value.toDouble(&ok) : 0.0;
        if (ok && megahertz > 0) {
            const auto hertz = static_cast<quint64>(std::llround(megahertz * 1'000'000.0));
            highest = std::max(highest.value_or(0), hertz);
        }
    }
    return highest;
}

bool hasHypervisorFlag(const QByteArray &cpuinfo)
{
    const QString flags = firstField(cpuinfoFields(cpuinfo), "flags");
    return flags.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QLatin1String("hypervisor"));
}

QString hypervisorName(const QString &text)
{
    static const std::pair<const char *, const char *> names[] = {
        {"kvmkvmkvm", "KVM"},          {"kvm", "KVM"},
        {"microsoft hv", "Hyper-V"},   {"microsoft corporation", "Hyper-V"},
        {"vmwarevmware", "VMware"},    {"vmware, inc.", "VMware"},           {"vmware", "VMware"},
        {"xenvmmxenvmm", "Xen"},       {"xen", "Xen"},
        {"tcgtcgtcgtcg", "QEMU"},      {"qemu", "QEMU"},
        {"vboxvboxvbox", "VirtualBox"}, {"innotek gmbh", "VirtualBox"},      {"oracle corporation", "VirtualBox"},
        {"bhyve bhyve", "bhyve"},      {"lrpepyh vr", "Parallels"},          {"parallels software international inc.", "Parallels"},
        {"acrnacrnacrn", "ACRN"},      {"amazon ec2", "Amazon EC2"},         {"google", "Google Compute Engine"},
        {"apple virtualization", "Apple Virtualization"},
    };
    const QString folded = text.trimmed().toLower();
    for (const auto &[key, name] : names) {
        if (folded == QLatin1String(key)) {
            return QLatin1String(name);
        }
    }
    return {};
}

QString prettyName(const QByteArray &osRelease)
{
    for (const QByteArray &rawLine : osRelease.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("PRETTY_NAME=")) {
            continue;
        }
        QByteArray value = line.mid(int(sizeof("PRETTY_NAME=")) - 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.mid(1, value.size() - 2);
        }
        // Shell-style escapes inside double quotes: \" \\ \$ \`
        QByteArray unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            unescaped.append(value[i]);
        }
        return QString::fromUtf8(unescaped).trimmed();
    }
    return {};
}

std::optional<qint64> secondsSinceStart(const QByteArray &procStat, long ticksPerSecond, qint64 uptimeSeconds)
{
    // The command name (field 2) may hold blanks and parentheses: the fields
    // that follow start after its last ')'.
    const qsizetype close = procStat.lastIndexOf(')');
    if (close < 0 || ticksPerSecond <= 0) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = procStat.mid(close + 1).simplified().split(' ');
    constexpr int startTimeIndex = 22 - 3; // field 3 (state) is the first after ')'
    if (fields.size() <= startTimeIndex) {
        return std::nullopt;
    }
    bool ok = false;
    const qulonglong startTicks = fields[startTimeIndex].toULongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    const qint64 started = static_cast<qint64>(startTicks / static_cast<qulonglong>(ticksPerSecond));
    if (started > uptimeSeconds) {
        return std::nullopt;
    }
    return uptimeSeconds - started;
}

std::optional<quint64> kilohertzToHertz(const QByteArray &value)
{
    bool ok = false;
    const qulonglong kilohertz = value.trimmed().toULongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return static_cast<quint64>(kilohertz) * 1000U;
}

QString languageOfLocale(const QString &localeName)
{
    QString language = localeName;
    for (const QChar separator : {QChar(u'_'), QChar(u'-'), QChar(u'.'), QChar(u'@')}) {
        const qsizetype at = language.indexOf(separator);
        if (at >= 0) {
            language.truncate(at);
        }
    }
    if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX")) {
        return {};
    }
    return language.toLower();
}

} // namespace linuxfacts

const SystemFacts &systemFacts()
{
    static const LinuxSystemFacts facts;
    return facts;
}

LinuxSystemFacts::LinuxSystemFacts(QString rootDir, HypervisorSignature signature)
    : m_root(std::move(rootDir))
    , m_signature(std::move(signature))
{
    if (!m_root.endsWith(QLatin1Char('/'))) {
        m_root += QLatin1Char('/');
    }
}

QString LinuxSystemFacts::cpuHypervisorSignature()
{
#if defined(__x86_64__) || defined(__i386__)
    // Leaf 0x40000000 exists only under a hypervisor; EBX, ECX, EDX spell
    // its vendor.
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    __cpuid(1, eax, ebx, ecx, edx);
    if ((ecx & (1U << 31)) == 0) {
        return {};
    }
    __cpuid(0x40000000, eax, ebx, ecx, edx);
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &ecx, 4);
    std::memcpy(vendor + 8, &edx, 4);
    return QString::fromLatin1(vendor).trimmed();
#else
    return {};
#endif
}

QString LinuxSystemFacts::path(const char *relative) const
{
    return m_root + QLatin1String(relative);
}

QByteArray LinuxSystemFacts::cpuinfo() const
{
    QFile file(path("proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool LinuxSystemFacts::hasFirmwareTable() const
{
    return QFileInfo(path("sys/class/dmi/id")).isDir();
}

SystemText LinuxSystemFacts::firmwareField(const QString &field) const
{
    return readSmallFile(path("sys/class/dmi/id/") + field);
}

QString LinuxSystemFacts::deviceTreeModel() const
{
    QFile file(path("proc/device-tree/model"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Device tree strings end in a NUL byte.
    return QString::fromUtf8(file.read(4096).split('\0').constFirst()).trimmed();
}

std::optional<QString> LinuxSystemFacts::hypervisor() const
{
    const SystemText type = readSmallFile(path("sys/hypervisor/type"));
    if (!type.failed() && !type.text.isEmpty()) {
        const QString name = linuxfacts::hypervisorName(type.text);
        return name.isEmpty() ? type.text : name;
    }
    const SystemText vendor = firmwareField(QStringLiteral("sys_vendor"));
    const QString vendorName = vendor.failed() ? QString() : linuxfacts::hypervisorName(vendor.text);
    if (!linuxfacts::hasHypervisorFlag(cpuinfo())) {
        // Virtual ARM machines have no such flag; their firmware names them.
        return vendorName.isEmpty() ? std::nullopt : std::optional<QString>(vendorName);
    }
    const QString signature = m_signature ? linuxfacts::hypervisorName(m_signature()) : QString();
    return signature.isEmpty() ? vendorName : signature;
}

SystemText LinuxSystemFacts::processorBrand() const
{
    QFile file(path("proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {QString(), ENOENT};
    }
    QByteArray deviceTreeCpu;
    const QDir cpus(path("proc/device-tree/cpus"));
    const QStringList nodes = cpus.entryList({QStringLiteral("cpu@*")}, QDir::Dirs, QDir::Name);
    for (const QString &node : nodes) {
        QFile compatible(cpus.filePath(node + QStringLiteral("/compatible")));
        if (compatible.open(QIODevice::ReadOnly)) {
            deviceTreeCpu = compatible.read(4096);
            break;
        }
    }
    return {linuxfacts::processorBrand(file.readAll(), deviceTreeCpu), 0};
}

ClockRate LinuxSystemFacts::processorClock() const
{
    // The nominal rate where the driver publishes it, else the highest rate
    // of any core (big and little cores differ), else what cpuinfo shows.
    const QDir cpus(path("sys/devices/system/cpu"));
    const QStringList cores = cpus.entryList({QStringLiteral("cpu[0-9]*")}, QDir::Dirs, QDir::Name);
    for (const char *name : {"base_frequency", "cpuinfo_max_freq"}) {
        std::optional<quint64> highest;
        for (const QString &core : cores) {
            const QString file = cpus.filePath(core + QStringLiteral("/cpufreq/") + QLatin1String(name));
            if (!QFileInfo::exists(file)) {
                continue;
            }
            const SystemText value = readSmallFile(file);
            const std::optional<quint64> hertz =
                value.failed() ? std::nullopt : linuxfacts::kilohertzToHertz(value.text.toLatin1());
            if (!hertz) {
                return {ClockRate::Outcome::unreadable, 0};
            }
            highest = std::max(highest.value_or(0), *hertz);
        }
        if (highest) {
            return {ClockRate::Outcome::known, *highest};
        }
    }
    if (const std::optional<quint64> shown = linuxfacts::highestCpuMegahertz(cpuinfo())) {
        return {ClockRate::Outcome::known, *shown};
    }
    return {ClockRate::Outcome::absent, 0};
}

std::optional<quint64> LinuxSystemFacts::physicalMemoryBytes() const
{
    struct sysinfo info{};
    if (sysinfo(&info) != 0) {
        return std::nullopt;
    }
    return static_cast<quint64>(info.totalram) * info.mem_unit;
}

SystemText LinuxSystemFacts::machineArchitecture() const
{
    // The kernel's own answer first: under user-mode emulation uname()
    // reports the emulated architecture, this file the real one.
    const SystemText kernelArch = readSmallFile(path("proc/sys/kernel/arch"));
    if (!kernelArch.failed() && !kernelArch.text.isEmpty()) {
        return kernelArch;
    }
    utsname names{};
    if (uname(&names) != 0) {
        return {QString(), errno};
    }
    return {QString::fromUtf8(names.machine), 0};
}

QString LinuxSystemFacts::programArchitecture() const
{
#if defined(__x86_64__)
    return QStringLiteral("x86_64");
#elif defined(__i386__)
    return QStringLiteral("i686");
#elif defined(__aarch64__)
    return QStringLiteral("aarch64");
#elif defined(__arm__)
    return QStringLiteral("arm");
#elif defined(__riscv) && __riscv_xlen == 64
    return QStringLiteral("riscv64");
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return QStringLiteral("ppc64le");
#elif defined(__s390x__)
    return QStringLiteral("s390x");
#else
    return QStringLiteral("unknown");
#endif
}

QString LinuxSystemFacts::distributionName() const
{
    for (const char *name : {"etc/os-release", "usr/lib/os-release"}) {
        QFile file(path(name));
        if (file.open(QIODevice::ReadOnly)) {
            return linuxfacts::prettyName(file.read(64 * 1024));
        }
    }
    return {};
}

QString LinuxSystemFacts::kernelRelease() const
{
    utsname names{};
    if (uname(&names) != 0) {
        return {};
    }
    return QString::fromUtf8(names.release);
}

std::optional<qint64> LinuxSystemFacts::uptimeSeconds() const
{
    return bootClockSeconds();
}

std::optional<qint64> LinuxSystemFacts::secondsSinceLaunch() const
{
    const std::optional<qint64> uptime = bootClockSeconds();
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!uptime || !stat.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return linuxfacts::secondsSinceStart(stat.read(4096), sysconf(_SC_CLK_TCK), *uptime);
}

QString LinuxSystemFacts::languageCode() const
{
    return linuxfacts::languageOfLocale(QLocale::system().name());
}

SystemText LinuxSystemFacts::executablePath() const
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length < 0) {
        return {QString(), errno};
    }
    return {QString::fromLocal8Bit(buffer, length), 0};
}

int LinuxSystemFacts::fileStatus(const QString &path) const
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno;
    }
    return 0;
}

QString LinuxSystemFacts::environmentValue(const QString &name) const
{
    return qEnvironmentVariable(name.toLatin1().constData());
}

QString LinuxSystemFacts::flatpakInfo() const
{
    QFile file(path(".flatpak-info"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(64 * 1024));
}

PackageQuery LinuxSystemFacts::packageOwning(PackageTool tool, const QString &file) const
{
    switch (tool) {
    case PackageTool::dpkg:
        return runPackageTool(QStringLiteral("dpkg"), {QStringLiteral("-S"), file});
    case PackageTool::rpm:
        return runPackageTool(QStringLiteral("rpm"), {QStringLiteral("-qf"), QStringLiteral("--queryformat"),
                                                      QStringLiteral("%{NAME}\\n"), file});
    case PackageTool::pacman:
        return runPackageTool(QStringLiteral("pacman"), {QStringLiteral("-Qqo"), file});
    }
    return {};
}

PackageQuery LinuxSystemFacts::packageVersion(PackageTool tool, const QString &package) const
{
    switch (tool) {
    case PackageTool::dpkg:
        return runPackageTool(QStringLiteral("dpkg-query"),
                              {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), package});
    case PackageTool::rpm:
        return runPackageTool(QStringLiteral("rpm"), {QStringLiteral("-q"), QStringLiteral("--queryformat"),
                                                      QStringLiteral("%{VERSION}-%{RELEASE}"), package});
    case PackageTool::pacman:
        return runPackageTool(QStringLiteral("pacman"), {QStringLiteral("-Q"), package});
    }
    return {};
}

} // namespace platform
