#include "Moraine/feedbackmail.h"
#include "Moraine/kitalert.h"
#include "clitesting.h"
#include "platform/buildinfo.h"

#include <QStandardPaths>

#include <csignal>

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
        {{u"--help"_s}, 0, usageLine, u"  vellory-cli run [--set FILE]"_s},
        {{u"-h"_s}, 0, usageLine, u"      --version"_s},
        {{u"help"_s}, 0, usageLine, u"  vellory-cli watch"_s},
        {{u"--version"_s}, 0, u"vellory-cli "_s + platform::buildinfo::shortVersion(),
         u"build "_s + platform::buildinfo::buildNumber()},
        // A set that cannot be loaded: one line on standard error.
        {{u"run"_s, u"--set"_s, missing}, 2, {}, u"vellory-cli: cannot load the backup set: "_s},
        {{u"run"_s, u"--set"_s, missing}, 2, {}, missing},
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

// One volume: the stored set, a set file, a deep tree, an interrupt and the
// order of flushes and renames.
TEST_F(CliTest, RunsTheStoredSetAsTheWindowRunsItAndASetFileAndExitsOneOnErrorsOrAnInterrupt)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    setPreference(u"autoEjectOnComplete"_s, false);
    QTemporaryDir sources;
    const QString file = sources.filePath(u"changed.txt"_s);
    writeFile(file, "payload");
    // Chosen while the stick was mounted elsewhere: the controller finds it
    // by its UUID at its new path.
    BackupScript moved = scriptFor(volume.mountPath(), {sources.path()});
    moved.volumePath = u"/media/somebody/OLD"_s;
    writeFile(storeFile(), encodeBackupScript(moved));
    const Result done = run({u"run"_s});
    EXPECT_EQ(done.exitCode, 0) << done.out.join(u'\n').toStdString();
    EXPECT_EQ(done.out.value(0), u"Backup Initialized to STICK"_s);
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), QByteArray("payload"));
    const BackupScript after = readSet(storeFile());
    EXPECT_EQ(after.volumePath, volume.mountPath());
    EXPECT_NE(after.lastBackup, u"Never"_s);
    EXPECT_FALSE(after.lastBackup.isEmpty());

    // A set file naming a plain folder: errors, exit one, nothing written.
    QTemporaryDir leftover;
    const Result refused = run({u"run"_s, u"--set"_s, writeSet(leftover.path(), {sources.path()})});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.messages().contains(u"Error: Volume not connected"_s)) << refused.out.join(u'\n').toStdString();
    EXPECT_TRUE(QDir(leftover.path()).isEmpty());

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
    EXPECT_EQ(deepRun.messages().filter(u"Error: "_s), QStringList());
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
    ASSERT_FALSE(cancelled.messages().isEmpty());
    EXPECT_EQ(cancelled.messages().last(), u"Backup Process finished"_s);
    EXPECT_FALSE(cancelled.messages().contains(u"Items backed up 3,000, Zero KB. Errors 0"_s));

    // A replaced copy is flushed before its rename, the volume before the run finishes.
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (strace.isEmpty()) {
        GTEST_SKIP() << "the order of flushes and renames needs strace";
    }
    ASSERT_TRUE(QDir(sources.filePath(u"many"_s)).removeRecursively());
    writeFile(file, "version 2");
    writeFile(sources.filePath(u"new.txt"_s), "new");
    const QString trace = m_home.path() + u"/trace"_s;
    const Result traced = run({u"run"_s, u"--set"_s, writeSet(volume.mountPath(), {sources.path()})},
                              {strace, u"-f"_s, u"-qq"_s, u"-s"_s, u"200"_s, u"-o"_s, trace, u"-e"_s,
                               u"trace=fdatasync,fsync,syncfs,rename,renameat,renameat2,write"_s});
    ASSERT_EQ(traced.exitCode, 0) << traced.out.join(u'\n').toStdString();
    const QStringList calls = QString::fromUtf8(contentOf(trace)).split(u'\n');
    // The lists match whole lines.
    const qsizetype flush = calls.indexOf(QRegularExpression(u".*syncfs\\(.*"_s));
    const qsizetype replace = calls.indexOf(QRegularExpression(u".*rename.*\"changed\\.txt\".*"_s));
    const qsizetype finished = calls.indexOf(QRegularExpression(u".*write\\(1,.*Backup Process finished.*"_s));
    const qsizetype lastSync = calls.lastIndexOf(QRegularExpression(u".*syncfs\\(.*"_s));
    ASSERT_GE(replace, 0);
    ASSERT_GE(finished, 0);
    EXPECT_GE(flush, 0);
    EXPECT_LT(flush, replace) << "the new content is on the medium before it replaces the old copy";
    EXPECT_TRUE(calls.filter(u"fdatasync("_s).isEmpty()) << "one flush of the volume, not one per file";
    EXPECT_GT(lastSync, replace) << "the renames are synced too";
    EXPECT_LT(lastSync, finished) << "the volume is synced before the run says it finished";
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), QByteArray("version 2"));
}

// The same three lines as the feedback e-mail's body ends with, and nothing
// else on standard output.
TEST_F(CliTest, ReportPrintsTheFeedbackMailsThreeLines)
{
    const Result result = run({u"report"_s});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.out.size(), 3) << result.out.join(u'\n').toStdString();
    const moraine::SystemReport expected =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts(), [](const QString &) {}),
                                   moraine::versionString());
    // Line 1 differs only in the time since each program started.
    EXPECT_TRUE(result.out[0].startsWith(moraine::versionString().value_or(u"Unknown"_s) + u", "_s));
    EXPECT_EQ(result.out[0].section(u", "_s, -1), expected.line1.section(u", "_s, -1));
    EXPECT_EQ(result.out[1], expected.line2);
    EXPECT_EQ(result.out[2], expected.line3);
    EXPECT_EQ(moraine::feedbackBody(u"Hi\n"_s, expected),
              u"Hi\n\n\n"_s + expected.line1 + u'\n' + result.out[1] + u'\n' + result.out[2] + u'\n');
}
