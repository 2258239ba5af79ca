// vellory-cli's controller commands end to end: the real program as a child
// process with its own data and preference folders; on real loop volumes
// when running as root.
#include "backup/backupscript.h"
#include "clitesting.h"
#include "loopvolume.h"
#include "platform/computername.h"
#include "platform/mountpoint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

constexpr int kWaitMs = 30000;

class CliControllerTest : public CliProcessTest
{
protected:
    QString setFile() const { return m_home.path() + QStringLiteral("/sets/mine.json"); }

    static BackupScript readSet(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return BackupScript();
        }
        return decodeBackupScript(file.readAll()).script.value_or(BackupScript());
    }

    // Reads a running process's standard error until `line` shows up.
    static bool waitForError(QProcess &process, const QString &line, QString &seen)
    {
        QElapsedTimer timer;
        timer.start();
        while (!seen.contains(line) && timer.elapsed() < kWaitMs) {
            process.waitForReadyRead(100);
            seen += QString::fromUtf8(process.readAllStandardError());
        }
        return seen.contains(line);
    }
};

#define REQUIRE_MOUNTED(volume)                                                                                        \
    if (!(volume).isMounted()) {                                                                                       \
        GTEST_SKIP() << (volume).skipReason().toStdString();                                                          \
    }

} // namespace

// --- Without volumes --------------------------------------------------------------

TEST_F(CliControllerTest, SourcesAreAddedAndRemovedInTheSetFileAndStatusShowsThem)
{
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("Notes")));
    QFile file(work.filePath(QStringLiteral("a b.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    // A relative path is taken from the current folder.
    Result added = run({QStringLiteral("add"), QStringLiteral("--set"), setFile(), QStringLiteral("Notes"),
                        work.filePath(QStringLiteral("a b.txt"))},
                       work.path());
    ASSERT_EQ(added.exitCode, 0) << added.err.join(u'\n').toStdString();
    const QStringList expected = {work.filePath(QStringLiteral("Notes")), work.filePath(QStringLiteral("a b.txt"))};
    EXPECT_EQ(readSet(setFile()).sourcePaths, expected);
    EXPECT_FALSE(QFile::exists(storeFile())) << "--set FILE wrote the stored set";

    // A missing path refuses the whole command.
    Result missing = run({QStringLiteral("add"), QStringLiteral("--set=") + setFile(), QStringLiteral("/"),
                          work.filePath(QStringLiteral("nothing"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(readSet(setFile()).sourcePaths, expected);

    // Adding again moves to the end; removing takes it off.
    ASSERT_EQ(run({QStringLiteral("add"), work.filePath(QStringLiteral("Notes")), QStringLiteral("--set"), setFile()})
                  .exitCode,
              0);
    EXPECT_EQ(readSet(setFile()).sourcePaths, QStringList({expected.at(1), expected.at(0)}));
    ASSERT_EQ(run({QStringLiteral("remove"), QStringLiteral("--set"), setFile(), expected.at(1)}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("remove"), QStringLiteral("--set"), setFile(), expected.at(1)}).exitCode, 1);

    const Result status = run({QStringLiteral("status"), QStringLiteral("--set"), setFile()});
    ASSERT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out, QStringList({QStringLiteral("Destination: No volume selected"),
                                       QStringLiteral("Status: No volume selected"), QStringLiteral("Last Backup: Never"),
                                       QStringLiteral("Sources:"), QStringLiteral("  ") + expected.at(0)}));

    // The stored set is its own: nothing was added there.
    const Result stored = run({QStringLiteral("status")});
    EXPECT_TRUE(stored.out.contains(QStringLiteral("Sources: none"))) << stored.out.join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(storeFile())) << "status wrote a set without any change";
}

TEST_F(CliControllerTest, RefusedCommandsSayWhyAndWriteNothing)
{
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("Documents")));
    const Result folder = run({QStringLiteral("select-volume"), work.filePath(QStringLiteral("Documents"))});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, QStringList{QStringLiteral(
                              "Unable to use \"Documents\": The item is not a volume. Please try again with a volume.")});
    const Result gone = run({QStringLiteral("select-volume"), work.filePath(QStringLiteral("nowhere"))});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_TRUE(gone.err.value(0).startsWith(QStringLiteral("Unable to use \"Unknown item\": ")));
    EXPECT_EQ(gone.err.size(), 1);
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("status"), QStringLiteral("extra")}, QStringList{QStringLiteral("select-volume")},
          QStringList{QStringLiteral("remove"), QStringLiteral("/a"), QStringLiteral("/b")},
          QStringList{QStringLiteral("add")}, QStringList{QStringLiteral("eject"), QStringLiteral("--set")},
          QStringList{QStringLiteral("volumes"), QStringLiteral("--force")}}) {
        const Result result = run(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(storeFile()));
}

TEST_F(CliControllerTest, StatusOfADestinationThatIsNotMounted)
{
    BackupScript script;
    script.volumeUUID = QStringLiteral("0000-DEAD");
    script.volumeName = QStringLiteral("Travel");
    script.volumePath = QStringLiteral("/media/nobody/Travel");
    script.volumeCapacity = 64'000'000'000;
    script.volumeDescription = QStringLiteral("Ultra Fit, USB");
    script.lastBackup = QStringLiteral("1/2/24, 3:04 PM");
    QDir().mkpath(QFileInfo(setFile()).path());
    QFile file(setFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(encodeBackupScript(script));
    file.close();

    const Result status = run({QStringLiteral("status"), QStringLiteral("--set"), setFile()});
    ASSERT_EQ(status.exitCode, 0);
    ASSERT_GE(status.out.size(), 5);
    EXPECT_EQ(status.out.at(0), QStringLiteral("Destination: Travel"));
    EXPECT_EQ(status.out.at(1), QStringLiteral("Description: Ultra Fit, USB"));
    EXPECT_EQ(status.out.at(2), QStringLiteral("Status: Not connected"));
    EXPECT_TRUE(status.out.at(3).startsWith(QStringLiteral("Space: 64")));
    EXPECT_TRUE(status.out.at(3).endsWith(QStringLiteral(" Capacity, Not connected")));
    EXPECT_EQ(status.out.at(4), QStringLiteral("Last Backup: 1/2/24, 3:04 PM"));

    // Nothing to eject: said so, and a failure.
    const Result eject = run({QStringLiteral("eject"), QStringLiteral("--set"), setFile()});
    EXPECT_EQ(eject.exitCode, 1);
    EXPECT_EQ(eject.err, QStringList{QStringLiteral("Unable to eject \"Travel\": Not connected")});

    // clear-volume forgets it and resets the last backup.
    ASSERT_EQ(run({QStringLiteral("clear-volume"), QStringLiteral("--set"), setFile()}).exitCode, 0);
    const BackupScript cleared = readSet(setFile());
    EXPECT_TRUE(cleared.volumeUUID.isEmpty());
    EXPECT_EQ(cleared.lastBackup, QStringLiteral("Never"));
    EXPECT_EQ(cleared.scriptUUID, script.scriptUUID);
}

TEST_F(CliControllerTest, WatchEndsOnSigtermWhenNothingRuns)
{
    QProcess watch;
    start(watch, {QStringLiteral("watch"), QStringLiteral("--set"), setFile()});
    QString seen;
    ASSERT_TRUE(waitForError(watch, QStringLiteral("following volume events"), seen)) << seen.toStdString();
    ::kill(pid_t(watch.processId()), SIGTERM);
    const Result result = finish(watch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.isEmpty() || result.out.first().startsWith(QStringLiteral("init() ")))
        << result.out.join(u'\n').toStdString();
}

// --- On real volumes ---------------------------------------------------------------

TEST_F(CliControllerTest, ChoosesListsAndEjectsARealStick)
{
    LoopVolume stick(LoopVolume::Kind::ExFat, QStringLiteral("CLISTICK"), 16);
    REQUIRE_MOUNTED(stick);
    LoopVolume locked(LoopVolume::Kind::Ext4, QStringLiteral("LOCKED"), 16, /*readOnly=*/true);
    REQUIRE_MOUNTED(locked);

    const Result refused = run({QStringLiteral("select-volume"), locked.mountPath()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, QStringList{QStringLiteral("Unable to use \"mnt\": You don't have permission to write to "
                                                      "the volume. Either unlock this volume or select a different "
                                                      "volume.")});

    const Result chosen = run({QStringLiteral("select-volume"), stick.mountPath()});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err.join(u'\n').toStdString();
    const BackupScript stored = readSet(storeFile());
    EXPECT_EQ(stored.volumeName, QStringLiteral("CLISTICK"));
    EXPECT_EQ(stored.volumePath, stick.mountPath());
    EXPECT_FALSE(stored.volumeUUID.isEmpty());

    const Result status = run({QStringLiteral("status")});
    EXPECT_TRUE(status.out.contains(QStringLiteral("Status: Connected"))) << status.out.join(u'\n').toStdString();
    const Result volumes = run({QStringLiteral("volumes")});
    const QStringList line = volumes.out.filter(stick.mountPath() + QLatin1Char('\t'));
    ASSERT_EQ(line.size(), 1) << volumes.out.join(u'\n').toStdString();
    const QStringList fields = line.first().split(QLatin1Char('\t'));
    ASSERT_GE(fields.size(), 8);
    EXPECT_EQ(fields.at(1), QStringLiteral("\"CLISTICK\""));
    EXPECT_EQ(fields.at(2), stored.volumeUUID);
    EXPECT_EQ(fields.at(6), QStringLiteral("read-write"));
    EXPECT_EQ(fields.at(7), QStringLiteral("destination"));
    const QStringList lockedLine = volumes.out.filter(locked.mountPath() + QLatin1Char('\t'));
    ASSERT_EQ(lockedLine.size(), 1);
    EXPECT_TRUE(lockedLine.first().contains(QStringLiteral("\tread-only")));
    EXPECT_FALSE(lockedLine.first().endsWith(QStringLiteral("destination")));

    const Result eject = run({QStringLiteral("eject")});
    EXPECT_EQ(eject.exitCode, 0) << eject.err.join(u'\n').toStdString();
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_TRUE(run({QStringLiteral("status")}).out.contains(QStringLiteral("Status: Not connected")));
}

TEST_F(CliControllerTest, WatchBacksUpTheDestinationWhenItIsMountedAndPrintsTheLog)
{
    QTemporaryDir source;
    QFile note(source.filePath(QStringLiteral("note.txt")));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("watched");
    note.close();
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("WATCHED"), 16);
    REQUIRE_MOUNTED(stick);
    LoopVolume other(LoopVolume::Kind::Ext4, QStringLiteral("OTHER"), 16);
    REQUIRE_MOUNTED(other);
    ASSERT_EQ(run({QStringLiteral("select-volume"), stick.mountPath()}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("add"), source.path()}).exitCode, 0);
    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(other.unmount());

    QProcess watch;
    start(watch, {QStringLiteral("watch")});
    QString seen;
    ASSERT_TRUE(waitForError(watch, QStringLiteral("following volume events"), seen)) << seen.toStdString();
    // Another volume first: nothing happens. Then the destination.
    ASSERT_TRUE(other.mount());
    ASSERT_TRUE(stick.mount());
    QString out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains(QStringLiteral("Backup Process finished")) && timer.elapsed() < kWaitMs) {
        watch.waitForReadyRead(100);
        out += QString::fromUtf8(watch.readAllStandardOutput());
    }
    ::kill(pid_t(watch.processId()), SIGINT);
    Result result = finish(watch);
    result.out = (out + QString::fromUtf8(watch.readAllStandardOutput())).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_FALSE(result.out.isEmpty());
    EXPECT_EQ(result.out.at(0), QStringLiteral("We received the mount notification"));
    ASSERT_GE(result.out.size(), 2);
    EXPECT_EQ(result.out.at(1), QStringLiteral("Backup Initialized to WATCHED"));
    EXPECT_EQ(result.out.filter(QStringLiteral("Items backed up 1, ")).size(), 1) << out.toStdString();
    EXPECT_EQ(result.out.filter(QStringLiteral("Backup Process finished")).size(), 1);
    EXPECT_EQ(result.out.filter(QStringLiteral("Error: ")).size(), 0) << out.toStdString();
    // The eject at the close is on by default: the copy is there once mounted again.
    EXPECT_EQ(result.out.filter(QStringLiteral("Ejected volume")).size(), 1);
    ASSERT_FALSE(platform::isMountPoint(stick.mountPath())) << "the close did not eject the destination";
    // Its loop device stays attached: mount it again to look at the copy.
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {stick.device(), stick.mountPath()}), 0);
    QFile copy(stick.mountPath() + QStringLiteral("/Vellory/") + platform::computerName()
               + source.filePath(QStringLiteral("note.txt")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << copy.fileName().toStdString();
    EXPECT_EQ(copy.readAll(), QByteArray("watched"));
    copy.close();
    QProcess::execute(QStringLiteral("umount"), {stick.mountPath()});
}

TEST_F(CliControllerTest, ACommandWhoseSetCannotBeSavedSaysWhyAndExitsOne)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    REQUIRE_MOUNTED(volume);
    QTemporaryDir work;
    ASSERT_EQ(run({QStringLiteral("add"), QStringLiteral("--set"), setFile(), work.path()}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("select-volume"), QStringLiteral("--set"), setFile(), volume.mountPath()}).exitCode, 0);
    // The set's folder turns read-only, for root too.
    const QString folder = QFileInfo(setFile()).path();
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), folder, folder}), 0);
    const std::shared_ptr<void> unmount(nullptr, [&folder](void *) {
        QProcess::execute(QStringLiteral("umount"), {folder});
    });
    const bool readOnly = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), folder}) == 0;

    const QStringList commands[] = {
        {QStringLiteral("add"), QStringLiteral("/")},
        {QStringLiteral("remove"), work.path()},
        {QStringLiteral("select-volume"), volume.mountPath()},
        {QStringLiteral("clear-volume")},
    };
    for (const QStringList &command : commands) {
        if (!readOnly) {
            break;
        }
        const Result result = run(command + QStringList{QStringLiteral("--set"), setFile()});
        EXPECT_EQ(result.exitCode, 1) << command.first().toStdString();
        EXPECT_EQ(result.out.size(), 1) << result.out.join(u'\n').toStdString();
        EXPECT_TRUE(result.out.value(0).startsWith(QStringLiteral("scriptSave() "))) << result.out.value(0).toStdString();
    }
    ASSERT_TRUE(readOnly) << "could not make the folder read-only";
    EXPECT_EQ(readSet(setFile()).sourcePaths, QStringList{work.path()}) << "the set stayed as it was";
}
