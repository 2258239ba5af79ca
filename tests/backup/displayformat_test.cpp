#include "backup/displayformat.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(DisplayFormat, CountsBytesAndLogLinesFollowTheLocale)
{
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(displayformat::count(999, en), u"999"_s);
    EXPECT_EQ(displayformat::count(1234, en), u"1,234"_s);
    EXPECT_EQ(displayformat::count(1234567, de), u"1.234.567"_s);
    EXPECT_EQ(displayformat::count(18446744073709551615ULL, en), u"18,446,744,073,709,551,615"_s);
    // Decimal units; zero spelt out; rounding may move up a unit.
    const std::tuple<quint64, QLocale, QString> bytes[] = {
        {0, en, u"Zero KB"_s}, {1, en, u"1 byte"_s}, {999, en, u"999 bytes"_s}, {1000, en, u"1.0 KB"_s},
        {1234567, en, u"1.2 MB"_s}, {999950, en, u"1.0 MB"_s}, {31914983424ULL, en, u"31.9 GB"_s},
        {18446744073709551615ULL, en, u"18.4 EB"_s}, {1234567, de, u"1,2 MB"_s}};
    for (const auto &[count, locale, text] : bytes) {
        EXPECT_EQ(displayformat::byteCount(count, locale), text) << count;
    }
    // The seconds right-aligned in nine characters, the last nine kept.
    const std::tuple<double, QLocale, QString> lines[] = {
        {2.5, en, u"      2.5"_s}, {12, en, u"       12"_s}, {3.14159, en, u"     3.14"_s}, {0.004, en, u"        0"_s},
        {-3, en, u"        0"_s}, {1234.5, en, u"  1,234.5"_s}, {1234.5, de, u"  1.234,5"_s},
        {10000000, en, u"0,000,000"_s}, {10000000, de, u"0.000.000"_s}, {99.999, de, u"      100"_s}};
    for (const auto &[seconds, locale, column] : lines) {
        EXPECT_EQ(displayformat::logLine(seconds, u"Scanning /home..."_s, locale), column + u"  Scanning /home..."_s) << seconds;
    }
}
