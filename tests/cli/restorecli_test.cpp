// vellory-cli restore and computers, end to end on a real loop volume.
#include "clitesting.h"

using namespace Qt::StringLiterals;

using CliRestoreTest = CliProcessTest;

TEST_F(CliRestoreTest, RestoresInPlaceOrIntoAFolderListsComputersAndRefusesWithoutTheVolume)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    QSettings(m_home.path() + u"/config/Brindlewick/Vellory 2.conf"_s, QSettings::IniFormat)
        .setValue(u"autoEjectOnComplete"_s, false);
    QTemporaryDir sources;
    const QString file = sources.filePath(u"notes/today.txt"_s);
    writeFile(file, "backed up");
    writeFile(storeFile(), encodeBackupScript(scriptFor(volume.mountPath(), {sources.path()})));
    ASSERT_EQ(run({u"run"_s}).exitCode, 0);
    writeFile(volume.mountPath() + u"/Vellory/OLD LAPTOP/home/ann/cv.txt"_s, "old cv");

    const Result computers = run({u"computers"_s});
    EXPECT_EQ(computers.exitCode, 0);
    EXPECT_EQ(computers.out, (QStringList{u"OLD LAPTOP"_s, platform::computerName()}));

    // In place, from the stored set's destination: the deleted file comes
    // back, and the whole run's log is printed.
    QFile::remove(file);
    const Result inPlace = run({u"restore"_s, sources.filePath(u"notes"_s)});
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.out.join(u'\n').toStdString();
    EXPECT_EQ(inPlace.out.value(0), u"Restore Initialized from STICK"_s);
    EXPECT_EQ(inPlace.messages().mid(inPlace.messages().size() - 2),
              (QStringList{u"Restore Process finished"_s, u"Result: Completed"_s}));
    EXPECT_EQ(contentOf(file), "backed up");

    // Another computer's file needs a folder to go to; it is read from a
    // volume named on the command line, with no set at all.
    QTemporaryDir target;
    EXPECT_EQ(run({u"restore"_s, u"--from"_s, u"OLD LAPTOP"_s, u"/home/ann/cv.txt"_s}).exitCode, 64);
    QFile::remove(storeFile());
    const Result theirs = run({u"restore"_s, u"--volume"_s, volume.mountPath(), u"--from"_s, u"OLD LAPTOP"_s,
                               u"--to"_s, target.path(), u"/home/ann/cv.txt"_s, u"/home/ann/gone.txt"_s});
    EXPECT_EQ(theirs.exitCode, 1) << "one of the two was not in the backup";
    EXPECT_EQ(contentOf(target.filePath(u"cv.txt"_s)), "old cv");

    // The destination unplugged: a clear message, nothing written.
    writeFile(storeFile(), encodeBackupScript(scriptFor(volume.mountPath(), {sources.path()})));
    ASSERT_TRUE(volume.unmount());
    QFile::remove(file);
    const Result away = run({u"restore"_s, file});
    EXPECT_EQ(away.exitCode, 1);
    EXPECT_EQ(away.err, QStringList{u"vellory-cli restore: The backup volume \"STICK\" is not connected; nothing was restored."_s});
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(run({u"computers"_s}).exitCode, 1);
}
