#include "backup/displayformat.h"

#include <gtest/gtest.h>

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

} // namespace

TEST(DisplayFormat, CountsUseTheLocaleGrouping)
{
    EXPECT_EQ(displayformat::count(0, kEnglish), QStringLiteral("0"));
    EXPECT_EQ(displayformat::count(999, kEnglish), QStringLiteral("999"));
    EXPECT_EQ(displayformat::count(1234, kEnglish), QStringLiteral("1,234"));
    EXPECT_EQ(displayformat::count(1234567, kGerman), QStringLiteral("1.234.567"));
    EXPECT_EQ(displayformat::count(18446744073709551615ULL, kEnglish), QStringLiteral("18,446,744,073,709,551,615"));
}

TEST(DisplayFormat, ByteCountsUseDecimalUnitsAndSpellOutZero)
{
    EXPECT_EQ(displayformat::byteCount(0, kEnglish), QStringLiteral("Zero KB"));
    EXPECT_EQ(displayformat::byteCount(1, kEnglish), QStringLiteral("1 byte"));
    EXPECT_EQ(displayformat::byteCount(532, kEnglish), QStringLiteral("532 bytes"));
    EXPECT_EQ(displayformat::byteCount(999, kEnglish), QStringLiteral("999 bytes"));
    EXPECT_EQ(displayformat::byteCount(1000, kEnglish), QStringLiteral("1.0 KB"));
    EXPECT_EQ(displayformat::byteCount(1234567, kEnglish), QStringLiteral("1.2 MB"));
    EXPECT_EQ(displayformat::byteCount(999950, kEnglish), QStringLiteral("1.0 MB")) << "rounding moves up a unit";
    EXPECT_EQ(displayformat::byteCount(31914983424ULL, kEnglish), QStringLiteral("31.9 GB"));
    EXPECT_EQ(displayformat::byteCount(18446744073709551615ULL, kEnglish), QStringLiteral("18.4 EB"));
    EXPECT_EQ(displayformat::byteCount(1234567, kGerman), QStringLiteral("1,2 MB"));
}

TEST(DisplayFormat, LogLineRightAlignsTheSecondsInNineCharacters)
{
    const QString message = QStringLiteral("Scanning /home...");
    EXPECT_EQ(displayformat::logLine(2.5, message, kEnglish), QStringLiteral("      2.5  Scanning /home..."));
    EXPECT_EQ(displayformat::logLine(12, message, kEnglish), QStringLiteral("       12  ") + message);
    EXPECT_EQ(displayformat::logLine(3.14159, message, kEnglish), QStringLiteral("     3.14  ") + message);
    EXPECT_EQ(displayformat::logLine(0.5, message, kEnglish), QStringLiteral("      0.5  ") + message);
    EXPECT_EQ(displayformat::logLine(0.004, message, kEnglish), QStringLiteral("        0  ") + message);
    EXPECT_EQ(displayformat::logLine(-3, message, kEnglish), QStringLiteral("        0  ") + message);
}

TEST(DisplayFormat, LogLineUsesTheLocaleSeparatorsAndKeepsTheLastNineCharacters)
{
    EXPECT_EQ(displayformat::logLine(1234.5, QStringLiteral("m"), kEnglish), QStringLiteral("  1,234.5  m"));
    EXPECT_EQ(displayformat::logLine(1234.5, QStringLiteral("m"), kGerman), QStringLiteral("  1.234,5  m"));
    EXPECT_EQ(displayformat::logLine(10000000, QStringLiteral("m"), kEnglish), QStringLiteral("0,000,000  m"));
    EXPECT_EQ(displayformat::logLine(10000000, QStringLiteral("m"), kGerman), QStringLiteral("0.000.000  m"));
    EXPECT_EQ(displayformat::logLine(99.999, QStringLiteral("m"), kGerman), QStringLiteral("      100  m"));
}
