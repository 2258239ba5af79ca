// vellory-cli end to end, on real loop volumes when running as root.
#include "Moraine/feedbackmail.h"
#include "Moraine/kitalert.h"
#include "clitesting.h"
#include "platform/buildinfo.h"
#include "platform/mountpoint.h"

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

using CliTest = CliProcessTest;

TEST_F(CliTest, UsageMistakesAndSetsThatCannotBeLoadedAreRefusedAndHelpAndVersionAreShown)
{
    const QString usageLine = u"Usage: vellory-cli COMMAND [ARGUMENT]..."_s;
    const QString missing = m_home.path() + u"/absent.json"_s;
    const QString broken = m_home.path() + u"/broken.json"_s;
    writeFile(broken, R"({"scriptName":"a","scriptUUID":"b","sourcePaths":[],"volumeCapacity":0,"volumeDescription":"","volumeName":""})");
    const std::tuple<QStringList, int, QString, QString> cases[] = { // exit 0 answers on standard output
        {{}, 64, usageLine, u"  -h, --help"_s},
        {{u"backup"_s}, 64, u"vellory-cli: unknown command \"backup\""_s, usageLine},
        {{u"--bogus"_s}, 64, u"vellory-cli: unrecognized option '--bogus'"_s, usageLine},
        {{u"run"_s, u"--bogus"_s}, 64, {}, u"--bogus"_s},
        {{u"run"_s, u"--set"_s}, 64, {}, u"--set"_s},
        {{u"report"_s, u"extra"_s}, 64, u"vellory-cli report: takes no arguments"_s, {}},
        {{u"status"_s, u"extra"_s}, 64, {}, u"unexpected argument \"extra\""_s},
        {{u"select-volume"_s}, 64, {}, u"missing argument"_s},
        {{u"remove"_s, u"/a"_s, u"/b"_s}, 64, {}, u"unexpected argument \"/b\""_s},
        {{u"add"_s}, 64, {}, u"missing argument"_s},
        {{u"eject"_s, u"--set"_s}, 64, {}, u"--set"_s},
        {{u"volumes"_s, u"--force"_s}, 64, {}, u"--force"_s},
        {{u"--help"_s}, 0, usageLine, u"  vellory-cli run [--set FILE]"_s},
        {{u"-h"_s}, 0, usageLine, u"      --version"_s},
        {{u"help"_s}, 0, usageLine, u"  vellory-cli watch"_s},
        {{u"--version"_s}, 0, u"vellory-cli "_s + platform::buildinfo::shortVersion(),
         u"build "_s + platform::buildinfo::buildNumber()},
        // A set that cannot be loaded: one line on standard error.
        {{u"run"_s, u"--set"_s, missing}, 2, {}, u"vellory-cli: cannot load the backup set: Could not read "_s + missing},
        {{u"run"_s, u"--set="_s + broken}, 2, {}, u"volumeUUID"_s},
        {{u"run"_s}, 2, {}, u"vellory-cli: "_s}, // nothing stored: no init() line
    };
    for (const auto &[arguments, exitCode, firstLine, contains] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Result result = run(arguments);
        EXPECT_EQ(result.exitCode, exitCode);
        const QStringList &answer = exitCode == 0 ? result.out : result.err;
        EXPECT_TRUE((exitCode == 0 ? result.err : result.out).isEmpty());
        ASSERT_FALSE(answer.isEmpty());
        EXPECT_TRUE(exitCode != 2 || answer.size() == 1);
        if (!firstLine.isEmpty()) {
            EXPECT_EQ(answer.first().toStdString(), firstLine.toStdString());
        }
        EXPECT_TRUE(answer.join(u'\n').contains(contains)) << answer.join(u'\n').toStdString();
    }
}

TEST_F(CliTest, RunsAndRestoresTheStoredSetAsTheWindowsDoAndASetFileAndExitsOneOnErrorsOrAnInterrupt)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    noAutoEject();
    QTemporaryDir sources;
    const QString file = sources.filePath(u"changed.txt"_s);
    writeFile(file, "payload");
    writeFile(storeFile(), encodeBackupScript(scriptFor(volume.mountPath(), {sources.path()})));
    const Result done = run({u"run"_s});
    EXPECT_EQ(done.exitCode, 0) << done.out.join(u'\n').toStdString();
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), QByteArray("payload"));
    EXPECT_NE(readSet(storeFile()).lastBackup, u"Never"_s) << "the controller stamps the set";

    // A set file naming a plain folder: its errors make the exit code one.
    QTemporaryDir leftover;
    const Result refused = run({u"run"_s, u"--set"_s, writeSet(leftover.path(), {sources.path()})});
    EXPECT_EQ(refused.exitCode, 1) << refused.out.join(u'\n').toStdString();

    // 1,000 folders deep, a folder waiting beside each: under 64 descriptors.
    QTemporaryDir deep;
    int folder = ::open(QFile::encodeName(deep.path()).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 1000; ++level) {
        ASSERT_GE(folder, 0);
        ASSERT_EQ(::mkdirat(folder, "d", 0755), 0);
        ASSERT_EQ(::mkdirat(folder, "s", 0755), 0);
        ::close(::openat(folder, "s/f", O_WRONLY | O_CREAT, 0644));
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    ::close(::openat(folder, "bottom", O_WRONLY | O_CREAT, 0644));
    ::close(folder);
    const Result deepRun = run({u"run"_s, u"--set"_s, writeSet(volume.mountPath(), {deep.path()})},
                               {u"prlimit"_s, u"--nofile=64:64"_s});
    EXPECT_EQ(deepRun.exitCode, 0) << deepRun.out.mid(0, 8).join(u'\n').toStdString();
    EXPECT_TRUE(deepRun.messages().contains(u"Items backed up 1,001, Zero KB. Errors 0"_s))
        << deepRun.messages().mid(0, 4).join(u'\n').toStdString();

    // Enough files that the run is still busy when the interrupt arrives.
    for (int i = 0; i < 3000; ++i) {
        writeFile(sources.filePath(u"many/f%1"_s.arg(i)), QByteArray());
    }
    QProcess process;
    start(process, {u"run"_s});
    ASSERT_TRUE(process.waitForReadyRead(10000));
    ::kill(pid_t(process.processId()), SIGINT);
    const Result cancelled = finish(process);
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_EQ(cancelled.messages().mid(cancelled.messages().size() - 1), QStringList{u"Result: Cancelled"_s});
    EXPECT_TRUE(cancelled.messages().contains(u"Backup Process finished"_s));
    EXPECT_FALSE(cancelled.messages().contains(u"Items backed up 3,000, Zero KB. Errors 0"_s));

    // A restore in place, from the stored set's destination, prints the whole log.
    writeFile(volume.mountPath() + u"/Vellory/OLD LAPTOP/home/ann/cv.txt"_s, "old cv");
    const Result computers = run({u"computers"_s});
    EXPECT_EQ(computers.exitCode, 0);
    EXPECT_EQ(computers.out, (QStringList{u"OLD LAPTOP"_s, platform::computerName()}));
    QFile::remove(file);
    const Result inPlace = run({u"restore"_s, file});
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.out.join(u'\n').toStdString();
    EXPECT_EQ(inPlace.out.value(0), u"Restore Initialized from STICK"_s);
    EXPECT_EQ(inPlace.messages().mid(inPlace.messages().size() - 2),
              (QStringList{u"Restore Process finished"_s, u"Result: Completed"_s}));
    EXPECT_EQ(contentOf(file), "payload");
    // The destination unplugged: a clear message, nothing written.
    ASSERT_TRUE(volume.unmount());
    QFile::remove(file);
    const Result away = run({u"restore"_s, file});
    EXPECT_EQ(away.exitCode, 1);
    EXPECT_EQ(away.err, QStringList{u"vellory-cli restore: The backup volume \"STICK\" is not connected; nothing was restored."_s});
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(run({u"computers"_s}).exitCode, 1);
    // Another computer's file needs --to; --volume needs no set at all.
    ASSERT_TRUE(volume.mount());
    QTemporaryDir target;
    EXPECT_EQ(run({u"restore"_s, u"--from"_s, u"OLD LAPTOP"_s, u"/home/ann/cv.txt"_s}).exitCode, 64);
    QFile::remove(storeFile());
    const Result theirs = run({u"restore"_s, u"--volume"_s, volume.mountPath(), u"--from"_s, u"OLD LAPTOP"_s,
                               u"--to"_s, target.path(), u"/home/ann/cv.txt"_s, u"/home/ann/gone.txt"_s});
    EXPECT_EQ(theirs.exitCode, 1) << "one of the two was not in the backup";
    EXPECT_EQ(contentOf(target.filePath(u"cv.txt"_s)), "old cv");
}

TEST_F(CliTest, ReportPrintsTheFeedbackMailsThreeLines)
{
    const Result result = run({u"report"_s});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.out.size(), 3) << result.out.join(u'\n').toStdString();
    const moraine::SystemReport expected =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts()), moraine::versionString());
    // Line 1 differs only in the time since each program started.
    EXPECT_TRUE(result.out[0].startsWith(moraine::versionString().value_or(u"Unknown"_s) + u", "_s));
    EXPECT_EQ(result.out[0].section(u", "_s, -1), expected.line1.section(u", "_s, -1));
    EXPECT_EQ(result.out[1], expected.line2);
    EXPECT_EQ(result.out[2], expected.line3);
}

using CliControllerTest = CliProcessTest;

TEST_F(CliControllerTest, EditsTheSetFileShowsTheStatusOfADestinationThatIsNotMountedAndSaysWhyItRefuses)
{
    BackupScript script = scriptFor(u"/media/nobody/Travel"_s, {}, u"Travel"_s);
    script.volumeCapacity = 64'000'000'000;
    script.volumeDescription = u"Ultra Fit, USB"_s;
    script.lastBackup = u"1/2/24, 3:04 PM"_s;
    writeFile(setFile(), encodeBackupScript(script));
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(u"Notes"_s));
    writeFile(work.filePath(u"a b.txt"_s), QByteArray());
    const Result folder = run({u"select-volume"_s, u"--set"_s, setFile(), work.filePath(u"Notes"_s)});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, QStringList{u"Unable to use \"Notes\": The item is not a volume. Please try again with a volume."_s});
    const Result gone = run({u"select-volume"_s, work.filePath(u"nowhere"_s)});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.err.size(), 1);
    EXPECT_TRUE(gone.err.value(0).startsWith(u"Unable to use \"Unknown item\": "_s));

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
    const Result eject = run({u"eject"_s, u"--set"_s, setFile()});
    EXPECT_EQ(eject.exitCode, 1);
    EXPECT_EQ(eject.err, QStringList{u"Unable to eject \"Travel\": Not connected"_s});
    ASSERT_EQ(run({u"clear-volume"_s, u"--set"_s, setFile()}).exitCode, 0);
    EXPECT_EQ(run({u"status"_s, u"--set"_s, setFile()}).out,
              (QStringList{u"Destination: No volume selected"_s, u"Status: No volume selected"_s, u"Last Backup: Never"_s,
                           u"Sources:"_s, u"  "_s + expected.at(0)}));

    // The stored set is its own: nothing was added there, nor written by status or a refusal.
    EXPECT_TRUE(run({u"status"_s}).out.contains(u"Sources: none"_s));
    EXPECT_FALSE(QFile::exists(storeFile()));
}

TEST_F(CliControllerTest, ChoosesListsAndEjectsARealStickAndSaysWhyASetCannotBeSaved)
{
    LoopVolume stick(LoopVolume::Kind::ExFat, u"CLISTICK"_s, 16);
    SKIP_WITHOUT(stick);
    LoopVolume locked(LoopVolume::Kind::Ext4, u"LOCKED"_s, 16, /*readOnly=*/true);
    SKIP_WITHOUT(locked);

    const Result chosen = run({u"select-volume"_s, stick.mountPath()});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err.join(u'\n').toStdString();
    const BackupScript stored = readSet(storeFile());

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
    ASSERT_EQ(run({u"select-volume"_s, stick.mountPath()}).exitCode, 0);
    ASSERT_EQ(run({u"add"_s, source.path()}).exitCode, 0);
    ASSERT_TRUE(stick.unmount());

    QProcess watch;
    start(watch, {u"watch"_s});
    QString seen;
    ASSERT_TRUE(readUntil(watch, true, u"following volume events"_s, seen)) << seen.toStdString();
    ASSERT_TRUE(stick.mount());
    QString out;
    readUntil(watch, false, u"Backup Process finished"_s, out);
    ::kill(pid_t(watch.processId()), SIGTERM);
    Result result = finish(watch);
    result.out = out.split(u'\n', Qt::SkipEmptyParts) + result.out;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.mid(0, 2), (QStringList{u"We received the mount notification"_s, u"Backup Initialized to WATCHED"_s}));
    EXPECT_EQ(result.out.filter(u"Items backed up 1, "_s).size(), 1) << out.toStdString();
    EXPECT_EQ(result.out.filter(u"Backup Process finished"_s).size(), 1);
    // The eject at the close is on by default: the copy is there once mounted again.
    EXPECT_EQ(result.out.filter(u"Ejected volume"_s).size(), 1);
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath())) << "the close did not eject the destination";
}
