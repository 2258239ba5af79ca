#pragma once

#include "platform/systemfacts.h"

#include <QHash>
#include <cerrno>

// A machine described by plain fields; each test changes what it needs.
// Starts as a fully described x86-64 laptop with a distribution package.
class FakeSystemFacts final : public platform::SystemFacts
{
public:
    bool hasFirmwareTable() const override { return firmwareTable; }
    platform::SystemText firmwareField(const QString &field) const override
    {
        return firmware.value(field, platform::SystemText{QString(), ENOENT});
    }
    QString deviceTreeModel() const override { return {}; }
    std::optional<QString> hypervisor() const override { return std::nullopt; }
    platform::SystemText processorBrand() const override { return brand; }
    platform::ClockRate processorClock() const override { return clock; }
    std::optional<quint64> physicalMemoryBytes() const override { return memory; }
    platform::SystemText machineArchitecture() const override { return machine; }
    QString programArchitecture() const override { return program; }
    QString distributionName() const override { return distribution; }
    QString kernelRelease() const override { return kernel; }
    std::optional<qint64> uptimeSeconds() const override { return uptime; }
    std::optional<qint64> secondsSinceLaunch() const override { return sinceLaunch; }
    QString languageCode() const override { return language; }
    platform::SystemText executablePath() const override { return executable; }
    int fileStatus(const QString &) const override { return executableStatus; }
    QString environmentValue(const QString &) const override { return {}; }
    QString flatpakInfo() const override { return {}; }
    // dpkg answers with `owners` and `version`; the other tools with their
    // entries in `otherOwners` and `otherVersions`, else as absent.
    platform::PackageQuery packageOwning(platform::PackageTool tool, const QString &path) const override
    {
        queriedPath = path;
        return tool == platform::PackageTool::dpkg ? owners : otherOwners.value(tool);
    }
    platform::PackageQuery packageVersion(platform::PackageTool tool, const QString &package) const override
    {
        queriedPackage = package;
        return tool == platform::PackageTool::dpkg ? version : otherVersions.value(tool);
    }

    bool firmwareTable = true;
    QHash<QString, platform::SystemText> firmware{
        {QStringLiteral("product_name"), {QStringLiteral("20XW0055GE"), 0}},
        {QStringLiteral("product_version"), {QStringLiteral("ThinkPad X1 Carbon Gen 9"), 0}},
        {QStringLiteral("board_name"), {QStringLiteral("20XW0055GE"), 0}},
        {QStringLiteral("sys_vendor"), {QStringLiteral("LENOVO"), 0}},
        {QStringLiteral("product_serial"), {QStringLiteral("PF3ABCDE"), 0}},
    };
    platform::SystemText brand{QStringLiteral("11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz"), 0};
    platform::ClockRate clock{platform::ClockRate::Outcome::known, 2'800'000'000ULL};
    std::optional<quint64> memory = 16ULL * 1024 * 1024 * 1024;
    platform::SystemText machine{QStringLiteral("x86_64"), 0};
    QString program = QStringLiteral("x86_64");
    QString distribution = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    QString kernel = QStringLiteral("6.1.0-18-amd64");
    std::optional<qint64> uptime = 3 * 86400 + 4 * 3600 + 5 * 60;
    std::optional<qint64> sinceLaunch = 65;
    QString language = QStringLiteral("de");
    platform::SystemText executable{QStringLiteral("/usr/bin/vellory2"), 0};
    int executableStatus = 0;
    platform::PackageQuery owners{true, 0, QStringLiteral("vellory2: /usr/bin/vellory2\n")};
    platform::PackageQuery version{true, 0, QStringLiteral("2.0.0-1")};
    QHash<platform::PackageTool, platform::PackageQuery> otherOwners;
    QHash<platform::PackageTool, platform::PackageQuery> otherVersions;
    mutable QString queriedPath;
    mutable QString queriedPackage;
};
