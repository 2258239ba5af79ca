#include "Moraine/update/hostfacts.h"

#include "platform/buildinfo.h"

#include <QStringList>

#include <sys/utsname.h>

namespace moraine {

namespace {

bool isArm64(const QString &machine)
{
    return machine == QLatin1String("aarch64") || machine == QLatin1String("arm64")
           || machine == QLatin1String("aarch64_be");
}

} // namespace

HostFacts HostFacts::current()
{
    HostFacts facts;
    facts.buildNumber = platform::buildinfo::buildNumber();
    facts.shortVersion = platform::buildinfo::shortVersion();
    facts.bundleIdentifier = platform::buildinfo::bundleIdentifier();
    utsname names{};
    if (uname(&names) == 0) {
        facts.kernelRelease = QString::fromLocal8Bit(names.release);
        facts.machine = QString::fromLocal8Bit(names.machine);
    }
    return facts;
}

QString architectureCode(const QString &machine)
{
    return isArm64(machine) ? QStringLiteral("ass") : QStringLiteral("x86");
}

std::optional<QString> downloadsArchitectureCode(const QString &machine)
{
    if (isArm64(machine)) {
        return QStringLiteral("ass");
    }
    static const QStringList x86Family{QStringLiteral("x86_64"), QStringLiteral("i386"), QStringLiteral("i486"),
                                       QStringLiteral("i586"), QStringLiteral("i686"), QStringLiteral("amd64")};
    if (x86Family.contains(machine)) {
        return QStringLiteral("x86");
    }
    return std::nullopt;
}

} // namespace moraine
