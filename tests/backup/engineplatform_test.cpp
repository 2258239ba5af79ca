#include "platform/computername.h"
#include "platform/directoryreader.h"
#include "platform/fileerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TEST(ComputerName, ReadsThePrettyHostnameInItsShellQuotedForms)
{
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("PRETTY_HOSTNAME=Studio\n"), QStringLiteral("Studio"));
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ann's Laptop\"\nDEPLOYMENT=home\n"),
              QStringLiteral("Ann's Laptop"));
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("PRETTY_HOSTNAME='B\xc3\xbcro \"PC\"'"), QString::fromUtf8("Büro \"PC\""));
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("PRETTY_HOSTNAME=Two\\ Words"), QStringLiteral("Two Words"));
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("# PRETTY_HOSTNAME=commented\nICON_NAME=computer"), QString());
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo("PRETTY_HOSTNAME=\"unterminated"), QStringLiteral("unterminated"));
    EXPECT_EQ(platform::prettyHostnameFromMachineInfo(QByteArray()), QString());
}

TEST(ComputerName, IsAlwaysOneSafeFolderName)
{
    // The name becomes a folder on the volume: it may never climb out of it.
    EXPECT_EQ(platform::folderSafeComputerName(QStringLiteral("Ann/Bob")), QStringLiteral("Ann-Bob"));
    EXPECT_EQ(platform::folderSafeComputerName(QStringLiteral("..")), QStringLiteral("localhost"));
    EXPECT_EQ(platform::folderSafeComputerName(QStringLiteral("  ")), QStringLiteral("localhost"));
    EXPECT_EQ(platform::folderSafeComputerName(QStringLiteral("../../etc")), QStringLiteral("..-..-etc"));
    const QString name = platform::computerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_FALSE(name.contains(QLatin1Char('/')));
}

TEST(DirectoryReader, ListsEveryNameAsBytesInByteOrder)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QList<QByteArray> names = {"b", ".hidden", "a", "caf\xe9", "A", "a b"};
    for (const QByteArray &name : names) {
        const int fd = ::open((base + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const int dirFd = ::open(base.constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirFd, 0);
    platform::DirectoryReader reader;
    platform::DirectoryListing listing;
    ASSERT_EQ(reader.read(dirFd, listing), 0);
    ::close(dirFd);
    listing.sortByName();
    QList<QByteArray> listed;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        listed << listing.name(i).toByteArray();
        EXPECT_EQ(QByteArray(listing.cName(i)), listed.last()) << "NUL-terminated copy";
    }
    EXPECT_EQ(listed, (QList<QByteArray>{".hidden", "A", "a", "a b", "b", "caf\xe9"}));
}

TEST(FileError, NamesTheCausesAPersonCanActOn)
{
    EXPECT_EQ(platform::describeFileError(ENOSPC), QStringLiteral("there is not enough space left on the volume"));
    EXPECT_EQ(platform::describeFileError(EFBIG), QStringLiteral("the file is too large for this volume's file system"));
    EXPECT_EQ(platform::describeFileError(EACCES), QStringLiteral("permission denied"));
    EXPECT_FALSE(platform::isNameAllowedOnFat("12:30"));
    EXPECT_FALSE(platform::isNameAllowedOnFat("what?"));
    EXPECT_FALSE(platform::isNameAllowedOnFat("trailing."));
    EXPECT_FALSE(platform::isNameAllowedOnFat(QByteArray("tab\there")));
    EXPECT_TRUE(platform::isNameAllowedOnFat("Notes 2024 (final).txt"));
    EXPECT_TRUE(platform::isNameAllowedOnFat("caf\xc3\xa9"));
}
