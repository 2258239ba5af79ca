#include "Moraine/kmsysteminfo.h"
#include "fakesystemfacts.h"

#include <gtest/gtest.h>

#include <functional>

using moraine::KMSystemInfo;
using platform::PackageQuery;
using platform::PackageTool;
using platform::SystemText;

namespace {

using Row = std::tuple<const char *, std::function<void(FakeSystemFacts &)>, QString>;

void checkRows(const std::vector<Row> &rows, const std::function<QString(const KMSystemInfo &)> &getter)
{
    for (const auto &[what, change, expected] : rows) {
        FakeSystemFacts facts;
        change(facts);
        EXPECT_EQ(getter(KMSystemInfo(facts)), expected) << what;
    }
}

} // namespace

TEST(KMSystemInfoModel, FallsBackFromMarketingNameToModelIdentifierAndFromProductToBoard)
{
    FakeSystemFacts facts; // the marketing name: SystemReport
    // Revisions and template texts in the version field are not names (an empty one: the recorded desktop).
    for (const QString version : {QStringLiteral("1.0"), QStringLiteral("System Version")}) {
        facts.firmware[QStringLiteral("product_version")] = SystemText{version, 0};
        EXPECT_EQ(KMSystemInfo(facts).modelName(), QStringLiteral("20XW0055GE")) << version.toStdString();
    }
    facts.firmwareTable = false; // as on machines without DMI
    facts.firmware.clear();
    EXPECT_EQ(KMSystemInfo(facts).modelName(), QStringLiteral("Failed with Error: 2"));

    // The identifier: the product name unless it is a template text, else the board's.
    const auto names = [](const QString &product, int productError, int boardError, const QString &board = QString()) {
        return [=](FakeSystemFacts &f) {
            f.firmware[QStringLiteral("product_name")] = SystemText{product, productError};
            f.firmware[QStringLiteral("board_name")] = SystemText{board, boardError};
        };
    };
    checkRows({{"board named", names(QStringLiteral("System Product Name"), 0, 0, QStringLiteral("PRIME B450M-A")),
                QStringLiteral("PRIME B450M-A")},
               {"board unreadable", names(QStringLiteral("System Product Name"), 0, EACCES), QStringLiteral("System Product Name")},
               {"unreadable name", names(QString(), EACCES, EACCES), QStringLiteral("Failed with Error: 13")},
               // Hypervisors and device trees: the recorded machines in systemreport_test.
              },
              [](const KMSystemInfo &info) { return info.modelIdentifier(); });
}

TEST(KMSystemInfoProcessor, NameAndTranslation)
{
    const auto brand = [](const QString &text, int error = 0) {
        return [=](FakeSystemFacts &f) { f.brand = SystemText{text, error}; };
    };
    checkRows({{"first tier in order", brand(QStringLiteral("Core i5 clone sold as i9")), QStringLiteral("i9")},
               {"no tier", brand(QStringLiteral("AMD Ryzen 7 5800U with Radeon Graphics")),
                QStringLiteral("AMD Ryzen 7 5800U with Radeon Graphics")},
               {"unreadable", brand(QString(), ENOENT), QStringLiteral("Failed with Error: 2")}},
              [](const KMSystemInfo &info) { return info.cpuName(true); });
    FakeSystemFacts facts;
    EXPECT_EQ(KMSystemInfo(facts).cpuName(false), facts.brand.text);
    // {program, machine, translated, cpu type}: other spellings of the same machine, and
    // 32-bit programs on their own family's 64-bit machine, run natively.
    const std::tuple<const char *, const char *, int, int> machines[] = {
        {"x86_64", "x86_64", 0, 62}, {"x86_64", "aarch64", 1, 183}, {"x86_64", "amd64", 0, 62},
        {"i686", "x86_64", 0, 62},   {"arm", "aarch64", 0, 183},    {"x86_64", nullptr, -1, -1}};
    for (const auto &[program, machine, translated, cpuType] : machines) {
        facts.program = QString::fromLatin1(program);
        facts.machine = machine ? SystemText{QString::fromLatin1(machine), 0} : SystemText{QString(), EFAULT};
        EXPECT_EQ(KMSystemInfo(facts).isTranslated(), translated) << program << " on " << (machine ? machine : "?");
        EXPECT_EQ(KMSystemInfo(facts).cpuType(), cpuType) << program << " on " << (machine ? machine : "?");
    }
}

TEST(KMSystemInfoSigning, NamesThePackageThatShipsTheProgramOrSaysWhyNot)
{
    const auto owners = [](bool ran, int code, const QString &out) {
        return [=](FakeSystemFacts &f) { f.owners = PackageQuery{ran, code, out}; };
    };
    const auto other = [](PackageTool tool, const QString &owner, const QString &version) {
        return [=](FakeSystemFacts &f) {
            f.owners = PackageQuery{false, 0, QString()};
            f.otherOwners[tool] = PackageQuery{true, 0, owner};
            f.otherVersions[tool] = PackageQuery{true, 0, version};
        };
    };
    checkRows({// Diversion lines are skipped; of several owners the first is named.
               {"diverted", owners(true, 0, QStringLiteral("diversion by other from: /usr/bin/vellory2\n"
                                                           "diversion by other to: /usr/bin/vellory2.real\n"
                                                           "vellory2:amd64, vellory2-extras: /usr/bin/vellory2\n")),
                QStringLiteral("Package vellory2:amd64 2.0.0-1")},
               {"rpm", other(PackageTool::rpm, QStringLiteral("vellory2\n"), QStringLiteral("2.0.0-1.fc39")),
                QStringLiteral("Package vellory2 2.0.0-1.fc39")},
               {"pacman", other(PackageTool::pacman, QStringLiteral("vellory2\n"), QStringLiteral("vellory2 2.0.0-1\n")),
                QStringLiteral("Package vellory2 2.0.0-1")},
               {"no dpkg", owners(false, 0, QString()), QStringLiteral("Local build")},
               {"no executable path", [](FakeSystemFacts &f) { f.executable = SystemText{QString(), EACCES}; },
                QStringLiteral("Failed to read code signature Error: 13")},
               {"program replaced on disk", [](FakeSystemFacts &f) { f.executableStatus = ENOENT; },
                QStringLiteral("Failed to get static security Error: 2")},
               {"package database trouble", owners(true, 2, QString()),
                QStringLiteral("Failed to get code signature details Error: 2")},
               {"answer names another path", owners(true, 0, QStringLiteral("vellory2: /usr/bin/vellory2-helper\n")),
                QStringLiteral("Failed to get code signing signatures")},
               {"owner line without packages", owners(true, 0, QStringLiteral(": /usr/bin/vellory2\n")),
                QStringLiteral("Failed to get the first signing certificate")},
               {"version query failed", [](FakeSystemFacts &f) { f.version = PackageQuery{true, 1, QString()}; },
                QStringLiteral("Failed to obtain the identity of the signer")}},
              [](const KMSystemInfo &info) { return info.signingIdentity(); });

    const FakeSystemFacts facts;
    (void)KMSystemInfo(facts).signingIdentity();
    EXPECT_EQ(facts.queriedPath, QStringLiteral("/usr/bin/vellory2"));
    EXPECT_EQ(facts.queriedPackage, QStringLiteral("vellory2"));
}
