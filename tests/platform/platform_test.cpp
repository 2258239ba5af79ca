// The engine's platform pieces that work on names and bytes alone.
#include "platform/computername.h"
#include "platform/directoryreader.h"
#include "platform/fileerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

TEST(ComputerName, ReadsThePrettyHostnameInItsShellQuotedFormsAndIsAlwaysOneSafeFolderName)
{
    const std::pair<QByteArray, QString> machineInfo[] = {
        {"PRETTY_HOSTNAME=Studio\n", u"Studio"_s},
        {"CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ann's Laptop\"\nDEPLOYMENT=home\n", u"Ann's Laptop"_s},
        {"PRETTY_HOSTNAME='B\xc3\xbcro \"PC\"'", QString::fromUtf8("Büro \"PC\"")},
        {"PRETTY_HOSTNAME=Two\\ Words", u"Two Words"_s},
        {"# PRETTY_HOSTNAME=commented\nICON_NAME=computer", QString()},
        {"PRETTY_HOSTNAME=\"unterminated", u"unterminated"_s},
        {QByteArray(), QString()},
    };
    for (const auto &[text, name] : machineInfo) {
        EXPECT_EQ(platform::prettyHostnameFromMachineInfo(text), name) << text.toStdString();
    }
    // The name becomes a folder on the volume: it may never climb out of it.
    const std::pair<QString, QString> names[] = {
        {u"Ann/Bob"_s, u"Ann-Bob"_s}, {u".."_s, u"localhost"_s}, {u"  "_s, u"localhost"_s}, {u"../../etc"_s, u"..-..-etc"_s}};
    for (const auto &[given, safe] : names) {
        EXPECT_EQ(platform::folderSafeComputerName(given), safe);
    }
    EXPECT_FALSE(platform::computerName().isEmpty());
    EXPECT_FALSE(platform::computerName().contains(u'/'));
}

TEST(DirectoryReader, ListsEveryNameAsBytesInByteOrder)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    for (const QByteArray &name : {"b", ".hidden", "a", "caf\xe9", "A", "a b"}) {
        ::close(::open((base + '/' + name).constData(), O_WRONLY | O_CREAT, 0644));
    }
    const int dirFd = ::open(base.constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirFd, 0);
    platform::DirectoryListing listing;
    ASSERT_EQ(platform::DirectoryReader().read(dirFd, listing), 0);
    ::close(dirFd);
    listing.sortByName();
    QList<QByteArray> listed;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        listed << listing.name(i).toByteArray();
        EXPECT_EQ(QByteArray(listing.cName(i)), listed.last()) << "NUL-terminated copy";
    }
    EXPECT_EQ(listed, (QList<QByteArray>{".hidden", "A", "a", "a b", "b", "caf\xe9"}));
}

TEST(FileError, NamesTheCausesAPersonCanActOnAndTheNamesFatRefuses)
{
    EXPECT_EQ(platform::describeFileError(ENOSPC), u"there is not enough space left on the volume"_s);
    EXPECT_EQ(platform::describeFileError(EFBIG), u"the file is too large for this volume's file system"_s);
    EXPECT_EQ(platform::describeFileError(EACCES), u"permission denied"_s);
    for (const QByteArray &name : {"12:30", "what?", "trailing.", "trailing ", "tab\there", ""}) {
        EXPECT_FALSE(platform::isNameAllowedOnFat(name)) << name.toStdString();
    }
    EXPECT_TRUE(platform::isNameAllowedOnFat("Notes 2024 (final).txt"));
    EXPECT_TRUE(platform::isNameAllowedOnFat("caf\xc3\xa9"));
}
