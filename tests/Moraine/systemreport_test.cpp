#include "Moraine/systemreport.h"
#include "fakesystemfacts.h"
#include "platform/linuxsystemfacts.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

using moraine::buildSystemReport;
using moraine::KMSystemInfo;
using moraine::SystemReport;
using platform::ClockRate;
using platform::SystemText;

namespace {

const std::optional<QString> version = QStringLiteral("2.0.1 (57)");

SystemReport reportOf(const FakeSystemFacts &facts, const std::optional<QString> &appVersion = version)
{
    return buildSystemReport(KMSystemInfo(facts, [](const QString &) {}), appVersion);
}

} // namespace

TEST(SystemReportFormat, DurationsMemoryClockAndLanguage)
{
    EXPECT_EQ(moraine::shortDurationPhrase(0), QStringLiteral("0 sec"));
    EXPECT_EQ(moraine::shortDurationPhrase(65), QStringLiteral("1 min, 5 sec"));
    EXPECT_EQ(moraine::shortDurationPhrase(86400), QStringLiteral("1 day"));
    EXPECT_EQ(moraine::shortDurationPhrase(2 * 86400 + 3600 + 1), QStringLiteral("2 days, 1 hr, 1 sec"));
    EXPECT_FALSE(moraine::shortDurationPhrase(-1).has_value());

    const quint64 gib = 1024ULL * 1024 * 1024;
    EXPECT_EQ(moraine::memoryCountText(16 * gib), QStringLiteral("16 GB"));
    EXPECT_EQ(moraine::memoryCountText(15 * gib + gib / 2), QStringLiteral("15.5 GB"));
    EXPECT_EQ(moraine::memoryCountText(512ULL * 1024 * 1024), QStringLiteral("512 MB"));
    EXPECT_EQ(moraine::memoryCountText(gib - 1024), QStringLiteral("1 GB")) << "1024 MB is shown as the next unit";
    EXPECT_EQ(moraine::memoryCountText(1000), QStringLiteral("1000 bytes"));

    EXPECT_EQ(moraine::gigahertzText(2.6), QStringLiteral("2.6"));
    EXPECT_EQ(moraine::gigahertzText(3.0), QStringLiteral("3.0"));
    EXPECT_EQ(moraine::gigahertzText(-1.0), QStringLiteral("-1.0"));
    EXPECT_EQ(moraine::gigahertzText(2.8e9 / 1e9), QStringLiteral("2.8"));
    EXPECT_EQ(moraine::gigahertzText(0.1 + 0.2), QStringLiteral("0.30000000000000004"));

    EXPECT_EQ(moraine::englishLanguageName(QStringLiteral("de")), QStringLiteral("German"));
    EXPECT_EQ(moraine::englishLanguageName(QStringLiteral("fr")), QStringLiteral("French"));
    EXPECT_FALSE(moraine::englishLanguageName(QString()).has_value());
    EXPECT_FALSE(moraine::englishLanguageName(QStringLiteral("zz")).has_value());
}

TEST(SystemReportFormat, SignerPrefixesAreShortenedEverywhere)
{
    EXPECT_EQ(moraine::reportedSigner(QStringLiteral("Developer ID Application: A, Developer ID Application: B")),
              QStringLiteral("Dev.ID: A, Dev.ID: B"));
    EXPECT_EQ(moraine::reportedSigner(QStringLiteral("Apple Mac OS Application Signing")),
              QString(QChar(0xF8FF)) + QStringLiteral(" App Store: "));
    EXPECT_EQ(moraine::reportedSigner(QStringLiteral("Apple Development: C")), QStringLiteral("Development: C"));
    EXPECT_EQ(moraine::reportedSigner(QStringLiteral("Local build")), QStringLiteral("Local build"));
}

TEST(SystemReportLayout, AFullyDescribedMachine)
{
    const SystemReport report = reportOf(FakeSystemFacts());
    EXPECT_EQ(report.line1, QStringLiteral("2.0.1 (57), 1 min, 5 sec, Package vellory2 2.0.0-1"));
    EXPECT_EQ(report.line2, QStringLiteral("Debian GNU/Linux 12 (bookworm) with Linux 6.1.0-18-amd64, 3 days, German"));
    EXPECT_EQ(report.line3, QStringLiteral("ThinkPad X1 Carbon Gen 9 i7 @ 2.8 Ghz, 16 GB"));
}

TEST(SystemReportLayout, FallbacksKeepEveryLineInShape)
{
    FakeSystemFacts facts;
    facts.clock = ClockRate{ClockRate::Outcome::absent, 0};
    EXPECT_EQ(reportOf(facts).line3, QStringLiteral("ThinkPad X1 Carbon Gen 9 i7 @ -1.0 Ghz, 16 GB"));
    facts.clock = ClockRate{ClockRate::Outcome::unreadable, 0};
    EXPECT_EQ(reportOf(facts).line3, QStringLiteral("ThinkPad X1 Carbon Gen 9 i7 @ -2.0 Ghz, 16 GB"));

    facts.dropFirmware();
    EXPECT_EQ(reportOf(facts).line3, QStringLiteral("Failed with Error: 2 i7 @ -2.0 Ghz, 16 GB"));

    // Optional items leave with their separators.
    facts.language.clear();
    facts.uptime.reset();
    facts.distribution.clear();
    EXPECT_EQ(reportOf(facts).line2, QStringLiteral("Linux 6.1.0-18-amd64"));

    facts.sinceLaunch.reset();
    facts.owners = platform::PackageQuery{true, 1, QString()};
    EXPECT_EQ(reportOf(facts, std::nullopt).line1, QStringLiteral("Unknown, Local build"));
}

TEST(SystemReportLayout, ShortSerialChangesNothingAndTheSerialIsNeverReported)
{
    FakeSystemFacts facts;
    const SystemReport before = reportOf(facts);
    facts.firmware[QStringLiteral("product_serial")] = SystemText{QStringLiteral("Q7"), 0};
    const SystemReport after = reportOf(facts);
    EXPECT_EQ(after.line1, before.line1);
    EXPECT_EQ(after.line2, before.line2);
    EXPECT_EQ(after.line3, before.line3);

    facts.firmware[QStringLiteral("product_serial")] = SystemText{QStringLiteral("SERIAL-PF3ABCDE"), 0};
    const SystemReport report = reportOf(facts);
    const QString all = report.line1 + report.line2 + report.line3;
    EXPECT_FALSE(all.contains(QStringLiteral("PF3ABCDE")));
}

TEST(SystemReportLayout, TranslationItemStandsBeforeTheSigner)
{
    FakeSystemFacts facts;
    facts.machine.text = QStringLiteral("aarch64");
    EXPECT_EQ(reportOf(facts).line1, QStringLiteral("2.0.1 (57), 1 min, 5 sec, x86_64 version, Package vellory2 2.0.0-1"));

    facts.sinceLaunch.reset();
    facts.machine = SystemText{QString(), EFAULT};
    EXPECT_EQ(reportOf(facts).line1, QStringLiteral("2.0.1 (57), x86_64 version, Package vellory2 2.0.0-1"))
        << "an unreadable machine architecture counts as translated";

    facts.uptime = 59;
    EXPECT_EQ(reportOf(facts).line2.section(QStringLiteral(", "), 1, 1), QStringLiteral("59 sec"));
}

TEST(LinuxSystemFactsParsers, ProcessorOsReleaseStatAndLocale)
{
    using namespace platform::linuxfacts;
    EXPECT_EQ(processorBrand("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz \n"
                             "processor\t: 1\nmodel name\t: other\n"),
              QStringLiteral("Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz"));
    EXPECT_EQ(processorBrand("Processor\t: ARMv7 Processor rev 4 (v7l)\nHardware\t: BCM2835\n"),
              QStringLiteral("ARMv7 Processor rev 4 (v7l)"));
    EXPECT_EQ(processorBrand("processor\t: 0\nCPU part\t: 0xd08\n"), QString());
    EXPECT_EQ(processorBrand(QByteArray()), QString());

    EXPECT_EQ(prettyName("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
    EXPECT_EQ(prettyName("PRETTY_NAME='Single quoted'\n"), QStringLiteral("Single quoted"));
    EXPECT_EQ(prettyName("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), QStringLiteral("Say \"hi\""));
    EXPECT_EQ(prettyName("PRETTY_NAME=Bare\n"), QStringLiteral("Bare"));
    EXPECT_EQ(prettyName("PRETTY_NAME=\""), QStringLiteral("\"")) << "a truncated file does not crash";
    EXPECT_EQ(prettyName("NAME=x\n"), QString());

    // A command name with blanks and parentheses; start time 1000 ticks.
    const QByteArray stat = "4242 (my (odd) name) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 1000 20 21";
    EXPECT_EQ(secondsSinceStart(stat, 100, 60), 50);
    EXPECT_FALSE(secondsSinceStart(stat, 100, 5).has_value()) << "a start after now is nonsense";
    EXPECT_FALSE(secondsSinceStart(stat.left(30), 100, 60).has_value());
    EXPECT_FALSE(secondsSinceStart("no parenthesis", 100, 60).has_value());

    EXPECT_EQ(kilohertzToHertz("2800000\n"), 2'800'000'000ULL);
    EXPECT_FALSE(kilohertzToHertz("<unknown>").has_value());

    EXPECT_EQ(languageOfLocale(QStringLiteral("de_DE.UTF-8")), QStringLiteral("de"));
    EXPECT_EQ(languageOfLocale(QStringLiteral("sr_RS@latin")), QStringLiteral("sr"));
    EXPECT_EQ(languageOfLocale(QStringLiteral("C.UTF-8")), QString());
    EXPECT_EQ(languageOfLocale(QStringLiteral("POSIX")), QString());
}

TEST(LinuxSystemFactsParsers, FirmwareFieldsComeFromTheTableFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile product(dir.filePath(QStringLiteral("product_name")));
    ASSERT_TRUE(product.open(QIODevice::WriteOnly));
    product.write("XPS 13 9310\n");
    product.close();

    const platform::LinuxSystemFacts facts(dir.path());
    EXPECT_TRUE(facts.hasFirmwareTable());
    EXPECT_EQ(facts.firmwareField(QStringLiteral("product_name")).text, QStringLiteral("XPS 13 9310"));
    EXPECT_EQ(facts.firmwareField(QStringLiteral("product_version")).error, ENOENT);
    EXPECT_EQ(KMSystemInfo(facts, [](const QString &) {}).modelName(), QStringLiteral("XPS 13 9310"));

    const platform::LinuxSystemFacts none(dir.filePath(QStringLiteral("absent")));
    EXPECT_FALSE(none.hasFirmwareTable());
}

TEST(LinuxSystemFactsParsers, ThisMachineAnswersEveryQueryInShape)
{
    const platform::LinuxSystemFacts facts;
    const KMSystemInfo info(facts, [](const QString &) {});

    EXPECT_EQ(info.isTranslated(), 0) << "a native test build reads as translated";
    const std::optional<qint64> launched = facts.secondsSinceLaunch();
    const std::optional<qint64> uptime = facts.uptimeSeconds();
    ASSERT_TRUE(launched.has_value());
    ASSERT_TRUE(uptime.has_value());
    EXPECT_GE(*launched, 0);
    EXPECT_LE(*launched, *uptime);
    // The test program belongs to no package, whether or not dpkg exists.
    EXPECT_EQ(info.signingIdentity(), QStringLiteral("Local build"));

    const SystemReport report = buildSystemReport(info, version);
    EXPECT_TRUE(report.line1.startsWith(QStringLiteral("2.0.1 (57), ")));
    EXPECT_TRUE(report.line1.endsWith(QStringLiteral(", Local build")));
    EXPECT_FALSE(report.line2.isEmpty());
    const std::optional<quint64> memory = facts.physicalMemoryBytes();
    ASSERT_TRUE(memory.has_value());
    EXPECT_TRUE(report.line3.endsWith(QStringLiteral(" Ghz, ") + moraine::memoryCountText(*memory)))
        << report.line3.toStdString();
    EXPECT_FALSE(report.line3.contains(QLatin1Char('\n')));
}
