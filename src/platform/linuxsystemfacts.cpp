#include "platform/linuxsystemfacts.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

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

QString processorBrand(const QByteArray &cpuinfo)
{
    QString fallback;
    for (const QByteArray &line : cpuinfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            continue;
        }
        const QByteArray key = line.left(colon).trimmed();
        const QString value = QString::fromUtf8(line.mid(colon + 1)).trimmed();
        if (value.isEmpty()) {
            continue;
        }
        if (key == "model name") {
            return value;
        }
        if (fallback.isEmpty() && (key == "Processor" || key == "Hardware")) {
            fallback = value;
        }
    }
    return fallback;
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

LinuxSystemFacts::LinuxSystemFacts(QString dmiDir)
    : m_dmiDir(std::move(dmiDir))
{
}

bool LinuxSystemFacts::hasFirmwareTable() const
{
    return QFileInfo(m_dmiDir).isDir();
}

SystemText LinuxSystemFacts::firmwareField(const QString &field) const
{
    return readSmallFile(m_dmiDir + QLatin1Char('/') + field);
}

SystemText LinuxSystemFacts::processorBrand() const
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {QString(), ENOENT};
    }
    return {linuxfacts::processorBrand(file.readAll()), 0};
}

ClockRate LinuxSystemFacts::processorClock() const
{
    // The nominal rate where the driver publishes it, else the highest.
    const QString dir = QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/");
    for (const char *name : {"base_frequency", "cpuinfo_max_freq"}) {
        const QString path = dir + QLatin1String(name);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {ClockRate::Outcome::unreadable, 0};
        }
        const std::optional<quint64> hertz = linuxfacts::kilohertzToHertz(file.read(64));
        if (!hertz) {
            return {ClockRate::Outcome::unreadable, 0};
        }
        return {ClockRate::Outcome::known, *hertz};
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
    const SystemText kernelArch = readSmallFile(QStringLiteral("/proc/sys/kernel/arch"));
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
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
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
    QFile file(QStringLiteral("/.flatpak-info"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(64 * 1024));
}

PackageQuery LinuxSystemFacts::packageOwning(const QString &path) const
{
    return runPackageTool(QStringLiteral("dpkg"), {QStringLiteral("-S"), path});
}

PackageQuery LinuxSystemFacts::packageVersion(const QString &package) const
{
    return runPackageTool(QStringLiteral("dpkg-query"),
                          {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), package});
}

} // namespace platform
