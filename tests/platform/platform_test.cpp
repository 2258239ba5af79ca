// The engine's platform pieces that work on names alone.
#include "platform/computername.h"
#include "platform/filecopier.h"
#include "platform/fileerror.h"
#include "platform/settings.h"
#include "platform/uniquefd.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>

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
    EXPECT_FALSE(platform::computerName().contains(u'/'));
}

// A file that took the name meanwhile is replaced whole; a copy never linked leaves nothing.
TEST(FileCopier, AnUnnamedCopyTakesItsNameOverALateComerOrVanishes)
{
    QTemporaryDir folder;
    QFile source(folder.filePath(u"source"_s));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly) && source.write("the copy") == 8);
    source.close();
    const platform::UniqueFd dir(::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY));
    platform::FileCopier copier;
    copier.setDeferPlacement(true);
    copier.setUnnamedCopies(true);
    const platform::CopyResult kept = copier.copy(dir.get(), "source", platform::FileType::Regular, dir.get(), "copy");
    const platform::CopyResult dropped = copier.copy(dir.get(), "source", platform::FileType::Regular, dir.get(), "copy");
    ASSERT_GE(kept.pendingFd, 0) << "this folder's file system has unnamed files";
    ASSERT_GE(dropped.pendingFd, 0);
    QFile lateComer(folder.filePath(u"copy"_s));
    ASSERT_TRUE(lateComer.open(QIODevice::WriteOnly) && lateComer.write("written since the scan, longer") > 0);
    lateComer.close();
    EXPECT_TRUE(platform::FileCopier::placeUnnamed(kept.pendingFd, dir.get(), "copy").ok());
    ::close(dropped.pendingFd);
    ASSERT_TRUE(lateComer.open(QIODevice::ReadOnly));
    EXPECT_EQ(lateComer.readAll(), QByteArray("the copy"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({u"copy"_s, u"source"_s}));
}

// Names a FAT volume refuses, beyond the two the runs on a real one meet.
TEST(FileError, NamesFatRefuses)
{
    for (const QByteArray &name : {"12:30", "what?", "trailing.", "trailing ", "tab\there", ""}) {
        EXPECT_FALSE(platform::isNameAllowedOnFat(name)) << name.toStdString();
    }
    EXPECT_TRUE(platform::isNameAllowedOnFat("Notes 2024 (final).txt"));
    EXPECT_TRUE(platform::isNameAllowedOnFat("caf\xc3\xa9"));
}

// Both switches start on: turning backup off is told, turning eject on is not, nor a size that is no size.
TEST(Settings, DefaultsUntilWrittenAndWritesReachEveryReaderOfTheStore)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("settings.conf"));
    platform::Settings settings(file);
    EXPECT_EQ(settings.iconSize(), 100);

    QSignalSpy backup(&settings, &platform::Settings::autoBackupOnConnectChanged);
    QSignalSpy eject(&settings, &platform::Settings::autoEjectOnCompleteChanged);
    QSignalSpy size(&settings, &platform::Settings::iconSizeChanged);
    settings.setAutoBackupOnConnect(false);
    settings.setAutoEjectOnComplete(true);
    settings.setIconSize(32);
    settings.setIconSize(0);
    settings.setIconSize(32);
    EXPECT_EQ(backup.size(), 1);
    EXPECT_EQ(eject.size(), 0);
    EXPECT_EQ(size.size(), 1);

    const platform::Settings reader(file);
    EXPECT_FALSE(reader.autoBackupOnConnect());
    EXPECT_EQ(reader.iconSize(), 32);
}
