#include "Moraine/systemreport.h"
#include "fakesystemfacts.h"
#include "platform/linuxsystemfacts.h"

#include <functional>
#include <gtest/gtest.h>

using moraine::buildSystemReport;
using moraine::KMSystemInfo;
using moraine::SystemReport;
using platform::ClockRate;

const std::optional<QString> version = QStringLiteral("2.0.1 (57)");

TEST(SystemReport, FormatsDurationsMemoryAndClockAndEveryLineKeepsItsShapeAsFactsGoMissing)
{
    EXPECT_EQ(moraine::shortDurationPhrase(0), QStringLiteral("0 sec"));
    EXPECT_EQ(moraine::shortDurationPhrase(86400), QStringLiteral("1 day"));
    EXPECT_EQ(moraine::shortDurationPhrase(2 * 86400 + 3600 + 1), QStringLiteral("2 days, 1 hr, 1 sec"));
    EXPECT_FALSE(moraine::shortDurationPhrase(-1).has_value());

    const quint64 gib = 1024ULL * 1024 * 1024;
    EXPECT_EQ(moraine::memoryCountText(15 * gib + gib / 2), QStringLiteral("15.5 GB"));
    EXPECT_EQ(moraine::memoryCountText(512ULL * 1024 * 1024), QStringLiteral("512 MB"));
    EXPECT_EQ(moraine::memoryCountText(gib - 1024), QStringLiteral("1 GB")) << "1024 MB is shown as the next unit";
    EXPECT_EQ(moraine::memoryCountText(1000), QStringLiteral("1000 bytes"));

    EXPECT_FALSE(moraine::englishLanguageName(QStringLiteral("zz")).has_value());

    // Each change to a fully described machine and the report line it changes; optional items leave with their
    // separators, and the serial is never reported.
    using Change = std::function<void(FakeSystemFacts &)>;
    const std::tuple<const char *, Change, int, QString> rows[] = {
        {"nothing", [](FakeSystemFacts &) {}, 1, QStringLiteral("2.0.1 (57), 1 min, 5 sec, Package vellory2 2.0.0-1")},
        {"nothing", [](FakeSystemFacts &) {}, 2, QStringLiteral("Debian GNU/Linux 12 (bookworm) with Linux 6.1.0-18-amd64, 3 days, German")},
        {"no clock", [](FakeSystemFacts &f) { f.clock = ClockRate{ClockRate::Outcome::absent, 0}; },
         3, QStringLiteral("ThinkPad X1 Carbon Gen 9 i7 @ -1.0 Ghz, 16 GB")},
        {"unreadable clock", [](FakeSystemFacts &f) { f.clock = ClockRate{ClockRate::Outcome::unreadable, 0}; },
         3, QStringLiteral("ThinkPad X1 Carbon Gen 9 i7 @ -2.0 Ghz, 16 GB")},
        {"no language, uptime or distribution", [](FakeSystemFacts &f) {
             f.language.clear();
             f.uptime.reset();
             f.distribution.clear();
         }, 2, QStringLiteral("Linux 6.1.0-18-amd64")},
        {"no version, launch time or package", [](FakeSystemFacts &f) {
             f.sinceLaunch.reset();
             f.owners = platform::PackageQuery{true, 1, QString()};
         }, 0, QStringLiteral("Unknown, Local build")},
        // The translation item stands before the signer.
        {"translated", [](FakeSystemFacts &f) { f.machine.text = QStringLiteral("aarch64"); }, 1,
         QStringLiteral("2.0.1 (57), 1 min, 5 sec, x86_64 version, Package vellory2 2.0.0-1")},
    };
    for (const auto &[what, change, line, expected] : rows) {
        SCOPED_TRACE(what);
        FakeSystemFacts facts;
        change(facts);
        const SystemReport report = buildSystemReport(KMSystemInfo(facts), line == 0 ? std::nullopt : version);
        const QString lines[] = {report.line1, report.line1, report.line2, report.line3};
        EXPECT_EQ(lines[line], expected);
        EXPECT_FALSE(moraine::reportText(report).contains(QStringLiteral("PF3ABCDE")));
    }
}

TEST(LinuxSystemFactsParsers, ProcessorOsReleaseStatLocaleClockAndHypervisor)
{
    using namespace platform::linuxfacts;
    EXPECT_EQ(processorBrand("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz \n"
                             "processor\t: 1\nmodel name\t: other\n"),
              QStringLiteral("Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz"));
    EXPECT_EQ(processorBrand("Processor\t: ARMv7 Processor rev 4 (v7l)\nHardware\t: BCM2835\n"),
              QStringLiteral("ARMv7 Processor rev 4 (v7l)"));

    EXPECT_EQ(prettyName("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), QStringLiteral("Say \"hi\""));
    EXPECT_EQ(prettyName("PRETTY_NAME=\""), QStringLiteral("\"")) << "a truncated file does not crash";
    EXPECT_EQ(prettyName("NAME=x\n"), QString());

    // A command name with blanks and parentheses; start time 1000 ticks.
    const QByteArray stat = "4242 (my (odd) name) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 1000 20 21";
    EXPECT_EQ(secondsSinceStart(stat, 100, 60), 50);
    EXPECT_FALSE(secondsSinceStart(stat, 100, 5).has_value()) << "a start after now is nonsense";
    EXPECT_FALSE(secondsSinceStart(stat.left(30), 100, 60).has_value());

    EXPECT_FALSE(kilohertzToHertz("<unknown>").has_value());

    EXPECT_EQ(languageOfLocale(QStringLiteral("de_DE.UTF-8")), QStringLiteral("de"));
    EXPECT_EQ(languageOfLocale(QStringLiteral("C.UTF-8")), QString());

    // A core unknown by part number is named by the device tree's first CPU.
    const QByteArray unknownPart = "processor\t: 0\nCPU implementer\t: 0x41\nCPU part\t: 0xfff\n";
    EXPECT_EQ(processorBrand(unknownPart, QByteArray("arm,cortex-a55\0arm,armv8\0", 26)),
              QStringLiteral("ARM Cortex-A55"));
    EXPECT_EQ(processorBrand("processor\t: 0\nhart\t: 0\nisa\t: rv64imafdc\nuarch\t: sifive,u74-mc\n"),
              QStringLiteral("sifive,u74-mc"));
    EXPECT_EQ(armCoreNames("CPU implementer\t: 0x51\nCPU part\t: 0xd03\n"), QString())
        << "part numbers belong to their implementer";

    EXPECT_EQ(highestCpuMegahertz("cpu MHz\t\t: 800.021\ncpu MHz\t\t: 3400.5\ncpu MHz\t: junk\n"), 3'400'500'000ULL);

    EXPECT_FALSE(hasHypervisorFlag("flags\t\t: fpu vme hypervisorx\n"));
    EXPECT_EQ(hypervisorName(QStringLiteral("Microsoft Hv")), QStringLiteral("Hyper-V"));
}

// Recorded files of four kinds of machine: each fact falls back to what
// that kind of machine offers (report lines are laid out as above).
TEST(LinuxSystemFactsMachines, EveryKindOfMachineIsNamedWithItsProcessorAndClock)
{
    // {folder, hypervisor signature, model, processor, gigahertz, system}
    const std::tuple<const char *, QString, QString, QString, double, QString> machines[] = {
        {"x86-desktop", QString(), QStringLiteral("OptiPlex 7080"), QStringLiteral("i7"), 2.9,
         QStringLiteral("Ubuntu 22.04.4 LTS")},
        {"virtual-machine", QStringLiteral("KVMKVMKVM"), QStringLiteral("Virtual machine (KVM)"),
         QStringLiteral("AMD EPYC"), 2.596136, QStringLiteral("Debian GNU/Linux 12 (bookworm)")},
        {"virtual-machine", QString(), QStringLiteral("Virtual machine"), QStringLiteral("AMD EPYC"), 2.596136,
         QStringLiteral("Debian GNU/Linux 12 (bookworm)")},
        {"arm-board", QString(), QStringLiteral("Pine64 RockPro64 v2.1"), QStringLiteral("ARM Cortex-A53 + Cortex-A72"),
         1.8, QStringLiteral("Armbian 23.8.1 bookworm")},
        {"raspberry-pi", QString(), QStringLiteral("Raspberry Pi 4 Model B Rev 1.4"), QStringLiteral("ARM Cortex-A72"),
         1.8, QStringLiteral("Debian GNU/Linux 12 (bookworm)")},
    };
    for (const auto &[folder, signature, model, processor, gigahertz, system] : machines) {
        SCOPED_TRACE(std::string(folder) + " " + signature.toStdString());
        const platform::LinuxSystemFacts facts(QStringLiteral(VELLORY_MACHINE_DATA "/") + QLatin1String(folder),
                                               [signature = signature] { return signature; });
        const KMSystemInfo info(facts);
        EXPECT_EQ(info.modelName(), model);
        EXPECT_EQ(info.cpuName(true), processor);
        EXPECT_DOUBLE_EQ(info.cpuGigahertz(), gigahertz);

        const SystemReport report = buildSystemReport(info, version);
        EXPECT_TRUE(report.line2.startsWith(system + QStringLiteral(" with Linux "))) << report.line2.toStdString();
    }
}

TEST(LinuxSystemFactsParsers, ThisMachineAnswersEveryQueryInShape)
{
    const platform::LinuxSystemFacts facts;
    const KMSystemInfo info(facts);

    EXPECT_EQ(info.isTranslated(), 0) << "a native test build reads as translated";
    const std::optional<qint64> launched = facts.secondsSinceLaunch();
    const std::optional<qint64> uptime = facts.uptimeSeconds();
    ASSERT_TRUE(launched && uptime);
    EXPECT_GE(*launched, 0);
    EXPECT_LE(*launched, *uptime);
    // The test program belongs to no package, whether or not dpkg exists.
    EXPECT_EQ(info.signingIdentity(), QStringLiteral("Local build"));

    EXPECT_TRUE(facts.physicalMemoryBytes().has_value());
}
