#include "Moraine/kmsysteminfo.h"
#include "fakesystemfacts.h"

#include <QStringList>
#include <gtest/gtest.h>

using moraine::KMSystemInfo;
using platform::ClockRate;
using platform::SystemText;

namespace {

// A KMSystemInfo over `facts` that records its console lines.
struct Probe
{
    explicit Probe(const FakeSystemFacts &facts)
        : info(facts, [this](const QString &line) { console.append(line); })
    {
    }
    QStringList console;
    KMSystemInfo info;
};

} // namespace

TEST(KMSystemInfoModel, FallsBackFromMarketingNameToModelIdentifierWithOneConsoleLine)
{
    FakeSystemFacts facts;
    {
        Probe probe(facts);
        EXPECT_EQ(probe.info.modelName(), QStringLiteral("ThinkPad X1 Carbon Gen 9"));
        EXPECT_TRUE(probe.console.isEmpty());
    }
    // Revisions and template texts in the version field are not names.
    for (const QString version : {QStringLiteral("1.0"), QStringLiteral("System Version"), QStringLiteral("A6"),
                                  QStringLiteral("To Be Filled By O.E.M."), QString()}) {
        facts.firmware[QStringLiteral("product_version")] = SystemText{version, 0};
        Probe probe(facts);
        EXPECT_EQ(probe.info.modelName(), QStringLiteral("20XW0055GE")) << version.toStdString();
        ASSERT_EQ(probe.console.size(), 1);
        EXPECT_TRUE(probe.console[0].startsWith(QStringLiteral("Failed to get Mac Marketing Name: Failed to find name")))
            << probe.console[0].toStdString();
    }
}

TEST(KMSystemInfoModel, MissingFirmwareTableGivesFailureTextsInsteadOfNames)
{
    FakeSystemFacts facts;
    facts.dropFirmware();
    Probe probe(facts);

    EXPECT_EQ(probe.info.modelName(), QStringLiteral("Failed with Error: 2"));
    ASSERT_EQ(probe.console.size(), 1);
    EXPECT_TRUE(probe.console[0].startsWith(
        QStringLiteral("Failed to get Mac Marketing Name: Failed to find Mac Identifier Property List")));

    ASSERT_FALSE(probe.info.productName().ok());
    EXPECT_EQ(probe.info.productName().error().domain, QStringLiteral("Failed to get platform"));
    ASSERT_FALSE(probe.info.serialNumber().ok());
    EXPECT_EQ(probe.info.serialNumber().error().domain, QStringLiteral("Failed to get platform"));
}

TEST(KMSystemInfoModel, WithoutFirmwareTheDeviceTreeOrTheHypervisorNamesTheMachine)
{
    FakeSystemFacts facts;
    facts.dropFirmware();
    facts.hypervisorName = QStringLiteral("KVM");
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("Virtual machine (KVM)"));
    facts.hypervisorName = QString();
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("Virtual machine"));
    facts.deviceTree = QStringLiteral("Raspberry Pi 4 Model B Rev 1.4");
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), facts.deviceTree);
}

TEST(KMSystemInfoModel, ModelIdentifierPrefersARealNameAndReportsEmptyAsErrorZero)
{
    FakeSystemFacts facts;
    facts.firmware[QStringLiteral("product_name")] = SystemText{QStringLiteral("System Product Name"), 0};
    facts.firmware[QStringLiteral("board_name")] = SystemText{QStringLiteral("PRIME B450M-A"), 0};
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("PRIME B450M-A"));

    facts.firmware[QStringLiteral("board_name")] = SystemText{QString(), EACCES};
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("System Product Name"));

    facts.firmware[QStringLiteral("product_name")] = SystemText{QString(), 0};
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("Failed with Error: 0"));

    facts.firmware[QStringLiteral("product_name")] = SystemText{QString(), EACCES};
    EXPECT_EQ(KMSystemInfo(facts).modelIdentifier(), QStringLiteral("Failed with Error: 13"));
}

TEST(KMSystemInfoModel, SerialIsUsedWholeWhenShortAndTheNameNeverDependsOnIt)
{
    FakeSystemFacts facts;
    facts.firmware[QStringLiteral("product_serial")] = SystemText{QStringLiteral("A1"), 0};
    ASSERT_TRUE(KMSystemInfo(facts).serialNumber().ok());
    EXPECT_EQ(KMSystemInfo(facts).serialNumber().value(), QStringLiteral("A1"));

    // Only root may read the serial; everyone else still gets the name.
    facts.firmware[QStringLiteral("product_serial")] = SystemText{QString(), EACCES};
    const auto serial = KMSystemInfo(facts).serialNumber();
    ASSERT_FALSE(serial.ok());
    EXPECT_EQ(serial.error().domain, QStringLiteral("Failed to obtain serial number"));
    EXPECT_EQ(KMSystemInfo(facts).modelName(), QStringLiteral("ThinkPad X1 Carbon Gen 9"));

    facts.firmware[QStringLiteral("product_serial")] = SystemText{QStringLiteral("Default string"), 0};
    EXPECT_FALSE(KMSystemInfo(facts).serialNumber().ok());
}

TEST(KMSystemInfoProcessor, ShortNameIsTheFirstTierFoundInOrderElseTheBrand)
{
    FakeSystemFacts facts;
    EXPECT_EQ(KMSystemInfo(facts).cpuName(true), QStringLiteral("i7"));
    EXPECT_EQ(KMSystemInfo(facts).cpuName(false), facts.brand.text);

    facts.brand.text = QStringLiteral("Core i5 clone sold as i9");
    EXPECT_EQ(KMSystemInfo(facts).cpuName(true), QStringLiteral("i9"));

    facts.brand.text = QStringLiteral("AMD Ryzen 7 5800U with Radeon Graphics");
    EXPECT_EQ(KMSystemInfo(facts).cpuName(true), facts.brand.text);

    facts.brand = SystemText{QString(), ENOENT};
    EXPECT_EQ(KMSystemInfo(facts).cpuName(true), QStringLiteral("Failed with Error: 2"));
    facts.brand = SystemText{QString(), 0};
    EXPECT_EQ(KMSystemInfo(facts).cpuName(false), QStringLiteral("Failed with Error: 0"));
}

TEST(KMSystemInfoProcessor, ClockIsGigahertzOrMinusOneWhenAbsentOrMinusTwoWhenUnreadable)
{
    FakeSystemFacts facts;
    EXPECT_DOUBLE_EQ(KMSystemInfo(facts).cpuGigahertz(), 2.8);
    facts.clock = ClockRate{ClockRate::Outcome::absent, 0};
    EXPECT_DOUBLE_EQ(KMSystemInfo(facts).cpuGigahertz(), -1.0);
    facts.clock = ClockRate{ClockRate::Outcome::unreadable, 0};
    EXPECT_DOUBLE_EQ(KMSystemInfo(facts).cpuGigahertz(), -2.0);
}

TEST(KMSystemInfoProcessor, TranslationMeansTheProgramIsForAnotherMachine)
{
    FakeSystemFacts facts;
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), 0);
    EXPECT_EQ(KMSystemInfo(facts).cpuType(), 62);

    facts.machine.text = QStringLiteral("aarch64");
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), 1);
    EXPECT_EQ(KMSystemInfo(facts).cpuType(), 183);

    // Other spellings of the same machine, and 32-bit programs on their own
    // family's 64-bit machine, run natively.
    facts.machine.text = QStringLiteral("amd64");
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), 0);
    facts.program = QStringLiteral("i686");
    facts.machine.text = QStringLiteral("x86_64");
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), 0);
    facts.program = QStringLiteral("arm");
    facts.machine.text = QStringLiteral("aarch64");
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), 0);

    facts.machine = SystemText{QString(), EFAULT};
    EXPECT_EQ(KMSystemInfo(facts).isTranslated(), -1);
    EXPECT_EQ(KMSystemInfo(facts).cpuType(), -1);
}

TEST(KMSystemInfoSigning, NamesThePackageAndVersionThatShipTheProgram)
{
    FakeSystemFacts facts;
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Package vellory2 2.0.0-1"));
    EXPECT_EQ(facts.queriedPath, QStringLiteral("/usr/bin/vellory2"));
    EXPECT_EQ(facts.queriedPackage, QStringLiteral("vellory2"));

    // Diversion lines are skipped; of several owners the first is named.
    facts.owners.output = QStringLiteral("diversion by other from: /usr/bin/vellory2\n"
                                         "diversion by other to: /usr/bin/vellory2.real\n"
                                         "vellory2:amd64, vellory2-extras: /usr/bin/vellory2\n");
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Package vellory2:amd64 2.0.0-1"));
    EXPECT_EQ(facts.queriedPackage, QStringLiteral("vellory2:amd64"));
}

TEST(KMSystemInfoSigning, RpmAndPacmanNameThePackageWhenDpkgDoesNotKnowTheProgram)
{
    using platform::PackageQuery;
    using platform::PackageTool;
    FakeSystemFacts facts;
    facts.owners = PackageQuery{false, 0, QString()};
    facts.otherOwners[PackageTool::rpm] = PackageQuery{true, 0, QStringLiteral("vellory2\n")};
    facts.otherVersions[PackageTool::rpm] = PackageQuery{true, 0, QStringLiteral("2.0.0-1.fc39")};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Package vellory2 2.0.0-1.fc39"));

    facts.otherOwners[PackageTool::rpm] =
        PackageQuery{true, 1, QStringLiteral("file /usr/bin/vellory2 is not owned by any package\n")};
    facts.otherOwners[PackageTool::pacman] = PackageQuery{true, 0, QStringLiteral("vellory2\n")};
    facts.otherVersions[PackageTool::pacman] = PackageQuery{true, 0, QStringLiteral("vellory2 2.0.0-1\n")};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Package vellory2 2.0.0-1"));
    EXPECT_EQ(facts.queriedPackage, QStringLiteral("vellory2"));

    facts.otherOwners[PackageTool::pacman] = PackageQuery{true, 1, QStringLiteral("error: No package owns it\n")};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Local build"));
}

TEST(KMSystemInfoSigning, UnpackagedCopiesAreLocalBuilds)
{
    FakeSystemFacts facts;
    facts.owners = platform::PackageQuery{true, 1, QString()};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Local build"));
    facts.owners = platform::PackageQuery{false, 0, QString()};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Local build"));
}

TEST(KMSystemInfoSigning, EachFailingStepHasItsOwnText)
{
    struct Case
    {
        const char *name;
        std::function<void(FakeSystemFacts &)> change;
        QString expected;
    };
    const std::vector<Case> cases{
        {"no executable path", [](FakeSystemFacts &f) { f.executable = SystemText{QString(), EACCES}; },
         QStringLiteral("Failed to read code signature Error: 13")},
        {"program replaced on disk", [](FakeSystemFacts &f) { f.executableStatus = ENOENT; },
         QStringLiteral("Failed to get static security Error: 2")},
        {"package database trouble", [](FakeSystemFacts &f) { f.owners = platform::PackageQuery{true, 2, QString()}; },
         QStringLiteral("Failed to get code signature details Error: 2")},
        {"answer names another path",
         [](FakeSystemFacts &f) { f.owners.output = QStringLiteral("vellory2: /usr/bin/vellory2-helper\n"); },
         QStringLiteral("Failed to get code signing signatures")},
        {"owner line without packages", [](FakeSystemFacts &f) { f.owners.output = QStringLiteral(": /usr/bin/vellory2\n"); },
         QStringLiteral("Failed to get the first signing certificate")},
        {"no version", [](FakeSystemFacts &f) { f.version = platform::PackageQuery{true, 0, QStringLiteral("\n")}; },
         QStringLiteral("Failed to obtain the identity of the signer")},
        {"version query failed", [](FakeSystemFacts &f) { f.version = platform::PackageQuery{true, 1, QString()}; },
         QStringLiteral("Failed to obtain the identity of the signer")},
    };
    for (const Case &c : cases) {
        FakeSystemFacts facts;
        c.change(facts);
        EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), c.expected) << c.name;
    }
}

TEST(KMSystemInfoSigning, SandboxedInstallationsAreNamedWithoutAskingThePackageDatabase)
{
    FakeSystemFacts facts;
    facts.environment[QStringLiteral("FLATPAK_ID")] = QStringLiteral("com.brindlewick.vellory2");
    facts.flatpak = QStringLiteral("[Application]\nname=com.brindlewick.vellory2\n\n[Instance]\nbranch=stable\n");
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Flatpak com.brindlewick.vellory2 (stable)"));

    facts.environment.clear();
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Flatpak com.brindlewick.vellory2 (stable)"))
        << "the sandbox file alone identifies a Flatpak";

    facts.flatpak.clear();
    facts.environment = {{QStringLiteral("SNAP"), QStringLiteral("/snap/vellory2/12")},
                         {QStringLiteral("SNAP_NAME"), QStringLiteral("vellory2")},
                         {QStringLiteral("SNAP_VERSION"), QStringLiteral("2.0.0")},
                         {QStringLiteral("SNAP_REVISION"), QStringLiteral("12")}};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("Snap vellory2 2.0.0 (revision 12)"));

    facts.environment = {{QStringLiteral("APPIMAGE"), QStringLiteral("/home/me/Apps/Vellory-2.0.0-x86_64.AppImage")}};
    EXPECT_EQ(KMSystemInfo(facts).signingIdentity(), QStringLiteral("AppImage Vellory-2.0.0-x86_64.AppImage"));
    EXPECT_TRUE(facts.queriedPath.isEmpty());
}
