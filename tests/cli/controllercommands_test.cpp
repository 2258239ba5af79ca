// vellory-cli's controller commands end to end: the real program as a child
// process with its own data and preference folders; on real loop volumes
// when running as root.
#include "clitesting.h"
#include "platform/mountpoint.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 30000;

class CliControllerTest : public CliProcessTest
{
protected:
    QString setFile() const { return m_home.path() + u"/sets/mine.json"_s; }

    // Reads a running process's standard output or error until `line` shows up.
    static bool readUntil(QProcess &process, bool errors, const QString &line, QString &seen)
    {
        QElapsedTimer timer;
        timer.start();
        while (!seen.contains(line) && timer.elapsed() < kWaitMs) {
            process.waitForReadyRead(100);
            seen += QString::fromUtf8(errors ? process.readAllStandardError() : process.readAllStandardOutput());
        }
        return seen.contains(line);
    }
};

} // namespace

// --- Without volumes --------------------------------------------------------------

TEST_F(CliControllerTest, EditsTheSetFileAndShowsTheStatusOfADestinationThatIsNotMounted)
{
    BackupScript script;
    script.volumeUUID = u"0000-DEAD"_s;
    script.volumeName = u"Travel"_s;
    script.volumePath = u"/media/nobody/Travel"_s;
    script.volumeCapacity = 64'000'000'000;
    script.volumeDescription = u"Ultra Fit, USB"_s;
    script.lastBackup = u"1/2/24, 3:04 PM"_s;
    writeFile(setFile(), encodeBackupScript(script));
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(u"Notes"_s));
    writeFile(work.filePath(u"a b.txt"_s), QByteArray());

    // A relative path is taken from the current folder.
    const Result added = run({u"add"_s, u"--set"_s, setFile(), u"Notes"_s, work.filePath(u"a b.txt"_s)}, {}, work.path());
    ASSERT_EQ(added.exitCode, 0) << added.err.join(u'\n').toStdString();
    const QStringList expected = {work.filePath(u"Notes"_s), work.filePath(u"a b.txt"_s)};
    EXPECT_EQ(readSet(setFile()).sourcePaths, expected);
    // A missing path refuses the whole command; a path not listed cannot be removed.
    EXPECT_EQ(run({u"add"_s, u"--set="_s + setFile(), u"/"_s, work.filePath(u"nothing"_s)}).exitCode, 1);
    EXPECT_EQ(readSet(setFile()).sourcePaths, expected);
    ASSERT_EQ(run({u"remove"_s, u"--set"_s, setFile(), expected.at(1)}).exitCode, 0);
    EXPECT_EQ(run({u"remove"_s, expected.at(1), u"--set"_s, setFile()}).exitCode, 1);

    const Result status = run({u"status"_s, u"--set"_s, setFile()});
    ASSERT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out, (QStringList{u"Destination: Travel"_s, u"Description: Ultra Fit, USB"_s, u"Status: Not connected"_s,
                                       u"Space: 64.0 GB Capacity, Not connected"_s, u"Last Backup: 1/2/24, 3:04 PM"_s,
                                       u"Sources:"_s, u"  "_s + expected.at(0)}));
    // Nothing to eject: said so, and a failure.
    const Result eject = run({u"eject"_s, u"--set"_s, setFile()});
    EXPECT_EQ(eject.exitCode, 1);
    EXPECT_EQ(eject.err, QStringList{u"Unable to eject \"Travel\": Not connected"_s});
    // clear-volume forgets it and resets the last backup.
    ASSERT_EQ(run({u"clear-volume"_s, u"--set"_s, setFile()}).exitCode, 0);
    EXPECT_EQ(readSet(setFile()).scriptUUID, script.scriptUUID);
    EXPECT_EQ(run({u"status"_s, u"--set"_s, setFile()}).out,
              (QStringList{u"Destination: No volume selected"_s, u"Status: No volume selected"_s, u"Last Backup: Never"_s,
                           u"Sources:"_s, u"  "_s + expected.at(0)}));

    // The stored set is its own: nothing was added there, nor written by status.
    EXPECT_TRUE(run({u"status"_s}).out.contains(u"Sources: none"_s));
    EXPECT_FALSE(QFile::exists(storeFile()));
}

TEST_F(CliControllerTest, RefusedCommandsSayWhyAndWriteNothing)
{
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(u"Documents"_s));
    const Result folder = run({u"select-volume"_s, work.filePath(u"Documents"_s)});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, QStringList{u"Unable to use \"Documents\": The item is not a volume. Please try again with a volume."_s});
    const Result gone = run({u"select-volume"_s, work.filePath(u"nowhere"_s)});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_TRUE(gone.err.value(0).startsWith(u"Unable to use \"Unknown item\": "_s));
    EXPECT_EQ(gone.err.size(), 1);
    for (const QStringList &arguments : {QStringList{u"status"_s, u"extra"_s}, QStringList{u"select-volume"_s},
                                         QStringList{u"remove"_s, u"/a"_s, u"/b"_s}, QStringList{u"add"_s},
                                         QStringList{u"eject"_s, u"--set"_s}, QStringList{u"volumes"_s, u"--force"_s}}) {
        const Result result = run(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(storeFile()));
}

// --- On real volumes ---------------------------------------------------------------

TEST_F(CliControllerTest, ChoosesListsAndEjectsARealStickAndSaysWhyASetCannotBeSaved)
{
    LoopVolume stick(LoopVolume::Kind::ExFat, u"CLISTICK"_s, 16);
    SKIP_WITHOUT(stick);
    LoopVolume locked(LoopVolume::Kind::Ext4, u"LOCKED"_s, 16, /*readOnly=*/true);
    SKIP_WITHOUT(locked);

    const Result refused = run({u"select-volume"_s, locked.mountPath()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, QStringList{u"Unable to use \"mnt\": You don't have permission to write to the volume. "
                                       "Either unlock this volume or select a different volume."_s});

    const Result chosen = run({u"select-volume"_s, stick.mountPath()});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err.join(u'\n').toStdString();
    const BackupScript stored = readSet(storeFile());
    EXPECT_EQ(stored.volumeName, u"CLISTICK"_s);
    EXPECT_EQ(stored.volumePath, stick.mountPath());
    EXPECT_FALSE(stored.volumeUUID.isEmpty());

    const Result status = run({u"status"_s});
    EXPECT_TRUE(status.out.contains(u"Status: Connected"_s)) << status.out.join(u'\n').toStdString();
    const Result volumes = run({u"volumes"_s});
    const QStringList line = volumes.out.filter(stick.mountPath() + u'\t');
    ASSERT_EQ(line.size(), 1) << volumes.out.join(u'\n').toStdString();
    const QStringList fields = line.first().split(u'\t');
    ASSERT_GE(fields.size(), 8);
    EXPECT_EQ(fields.at(1), u"\"CLISTICK\""_s);
    EXPECT_EQ(fields.at(2), stored.volumeUUID);
    EXPECT_EQ(fields.at(6), u"read-write"_s);
    EXPECT_EQ(fields.at(7), u"destination"_s);
    const QStringList lockedLine = volumes.out.filter(locked.mountPath() + u'\t');
    ASSERT_EQ(lockedLine.size(), 1);
    EXPECT_TRUE(lockedLine.first().contains(u"\tread-only"_s));
    EXPECT_FALSE(lockedLine.first().endsWith(u"destination"_s));

    // A set file whose folder turns read-only, for root too: each change says why.
    QTemporaryDir work;
    ASSERT_EQ(run({u"add"_s, u"--set"_s, setFile(), work.path()}).exitCode, 0);
    ASSERT_EQ(run({u"select-volume"_s, u"--set"_s, setFile(), stick.mountPath()}).exitCode, 0);
    const QString folder = QFileInfo(setFile()).path();
    ASSERT_EQ(QProcess::execute(u"mount"_s, {u"--bind"_s, folder, folder}), 0);
    const std::shared_ptr<void> unmount(nullptr, [&folder](void *) { QProcess::execute(u"umount"_s, {folder}); });
    ASSERT_EQ(QProcess::execute(u"mount"_s, {u"-o"_s, u"remount,ro,bind"_s, folder}), 0) << "could not make the folder read-only";
    for (const QStringList &command : {QStringList{u"add"_s, u"/"_s}, QStringList{u"remove"_s, work.path()},
                                       QStringList{u"select-volume"_s, stick.mountPath()}, QStringList{u"clear-volume"_s}}) {
        const Result result = run(command + QStringList{u"--set"_s, setFile()});
        EXPECT_EQ(result.exitCode, 1) << command.first().toStdString();
        EXPECT_EQ(result.out.size(), 1) << result.out.join(u'\n').toStdString();
        EXPECT_TRUE(result.out.value(0).startsWith(u"scriptSave() "_s)) << result.out.value(0).toStdString();
    }
    EXPECT_EQ(readSet(setFile()).sourcePaths, QStringList{work.path()}) << "the set stayed as it was";

    const Result eject = run({u"eject"_s});
    EXPECT_EQ(eject.exitCode, 0) << eject.err.join(u'\n').toStdString();
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_TRUE(run({u"status"_s}).out.contains(u"Status: Not connected"_s));
}

TEST_F(CliControllerTest, WatchBacksUpTheDestinationWhenItIsMountedPrintsTheLogAndEndsOnSigterm)
{
    QTemporaryDir source;
    writeFile(source.filePath(u"note.txt"_s), "watched");
    LoopVolume stick(LoopVolume::Kind::Ext4, u"WATCHED"_s, 16);
    SKIP_WITHOUT(stick);
    LoopVolume other(LoopVolume::Kind::Ext4, u"OTHER"_s, 16);
    SKIP_WITHOUT(other);
    ASSERT_EQ(run({u"select-volume"_s, stick.mountPath()}).exitCode, 0);
    ASSERT_EQ(run({u"add"_s, source.path()}).exitCode, 0);
    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(other.unmount());

    QProcess watch;
    start(watch, {u"watch"_s});
    QString seen;
    ASSERT_TRUE(readUntil(watch, true, u"following volume events"_s, seen)) << seen.toStdString();
    // Another volume first: nothing happens. Then the destination.
    ASSERT_TRUE(other.mount());
    ASSERT_TRUE(stick.mount());
    QString out;
    readUntil(watch, false, u"Backup Process finished"_s, out);
    ::kill(pid_t(watch.processId()), SIGTERM);
    Result result = finish(watch);
    result.out = (out + QString::fromUtf8(watch.readAllStandardOutput())).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_GE(result.out.size(), 2);
    EXPECT_EQ(result.out.mid(0, 2), (QStringList{u"We received the mount notification"_s, u"Backup Initialized to WATCHED"_s}));
    EXPECT_EQ(result.out.filter(u"Items backed up 1, "_s).size(), 1) << out.toStdString();
    EXPECT_EQ(result.out.filter(u"Backup Process finished"_s).size(), 1);
    EXPECT_EQ(result.out.filter(u"Error: "_s).size(), 0) << out.toStdString();
    // The eject at the close is on by default: the copy is there once mounted again.
    EXPECT_EQ(result.out.filter(u"Ejected volume"_s).size(), 1);
    ASSERT_FALSE(platform::isMountPoint(stick.mountPath())) << "the close did not eject the destination";
    // Its loop device stays attached: mount it again to look at the copy.
    const ReadOnlyMount ejected(stick.device());
    EXPECT_EQ(contentOf(targetOf(ejected.path(), source.filePath(u"note.txt"_s))), QByteArray("watched"));
}
