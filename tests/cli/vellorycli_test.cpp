#include "Moraine/feedbackmail.h"
#include "Moraine/kitalert.h"
#include "backup/backupscript.h"
#include "clitesting.h"
#include "loopvolume.h"
#include "platform/buildinfo.h"
#include "platform/computername.h"
#include "platform/linuxvolumetable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliTest : public CliProcessTest
{
protected:
    QString writeSet(const BackupScript &script) const
    {
        const QString path = m_home.path() + QStringLiteral("/set.json");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(encodeBackupScript(script));
        return path;
    }
};

BackupScript setFor(const QString &volumePath, const QStringList &sources)
{
    BackupScript script;
    script.volumeName = QStringLiteral("STICK");
    // Named by its real UUID when a volume is mounted there, as choosing it would.
    const auto mounted = platform::LinuxVolumeTable().volumeAt(volumePath);
    script.volumeUUID = mounted ? mounted->uuid : QStringLiteral("TEST-UUID");
    script.volumePath = volumePath;
    script.sourcePaths = sources;
    return script;
}

} // namespace

TEST_F(CliTest, ASetThatCannotBeLoadedExitsTwoWithOneLineOnStandardError)
{
    const QString missing = m_home.path() + QStringLiteral("/absent.json");
    const Result absent = run({QStringLiteral("run"), QStringLiteral("--set"), missing});
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_TRUE(absent.out.isEmpty());
    ASSERT_EQ(absent.err.size(), 1);
    EXPECT_TRUE(absent.err.first().startsWith(QStringLiteral("vellory-cli: cannot load the backup set: ")));
    EXPECT_TRUE(absent.err.first().contains(missing));

    QFile broken(m_home.path() + QStringLiteral("/broken.json"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(R"({"scriptName":"a","scriptUUID":"b","sourcePaths":[],"volumeCapacity":0,"volumeDescription":"","volumeName":""})");
    broken.close();
    const Result invalid = run({QStringLiteral("run"), QStringLiteral("--set=") + broken.fileName()});
    EXPECT_EQ(invalid.exitCode, 2);
    ASSERT_EQ(invalid.err.size(), 1);
    EXPECT_TRUE(invalid.err.first().contains(QStringLiteral("volumeUUID"))) << invalid.err.first().toStdString();

    const Result nothingStored = run({QStringLiteral("run")});
    EXPECT_EQ(nothingStored.exitCode, 2);
    EXPECT_EQ(nothingStored.err.size(), 1);
    EXPECT_TRUE(nothingStored.out.isEmpty()) << "no init() line: the reason goes to standard error";
}

TEST_F(CliTest, UsageMistakesAreRefusedAndHelpAndVersionAreShown)
{
    struct Case
    {
        QStringList arguments;
        int exitCode;
        bool onStandardOutput; // the answer's stream; the other one stays empty
        QString firstLine;
        QString contains;
    };
    const QString usageLine = QStringLiteral("Usage: vellory-cli COMMAND [ARGUMENT]...");
    const Case cases[] = {
        {{}, 64, false, usageLine, QStringLiteral("  -h, --help")},
        {{QStringLiteral("backup")}, 64, false, QStringLiteral("vellory-cli: unknown command \"backup\""), usageLine},
        {{QStringLiteral("--bogus")}, 64, false, QStringLiteral("vellory-cli: unrecognized option '--bogus'"), usageLine},
        {{QStringLiteral("run"), QStringLiteral("--bogus")}, 64, false, {}, QStringLiteral("--bogus")},
        {{QStringLiteral("run"), QStringLiteral("--set")}, 64, false, {}, QStringLiteral("--set")},
        {{QStringLiteral("--help")}, 0, true, usageLine, QStringLiteral("  vellory-cli run [--set FILE]")},
        {{QStringLiteral("-h")}, 0, true, usageLine, QStringLiteral("      --version")},
        {{QStringLiteral("help")}, 0, true, usageLine, QStringLiteral("  vellory-cli watch")},
        {{QStringLiteral("--version")}, 0, true, QStringLiteral("vellory-cli ") + platform::buildinfo::shortVersion(),
         QStringLiteral("build ") + platform::buildinfo::buildNumber()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const Result result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        const QStringList &answer = c.onStandardOutput ? result.out : result.err;
        EXPECT_TRUE((c.onStandardOutput ? result.err : result.out).isEmpty());
        ASSERT_FALSE(answer.isEmpty());
        if (!c.firstLine.isEmpty()) {
            EXPECT_EQ(answer.first().toStdString(), c.firstLine.toStdString());
        }
        EXPECT_TRUE(answer.join(u'\n').contains(c.contains)) << answer.join(u'\n').toStdString();
    }
}

TEST_F(CliTest, TheStoredSetRunsAndAFaultlessRunExitsZero)
{
    BackupScript script = setFor(QString(), {});
    QDir().mkpath(dataHome() + QStringLiteral("/com.brindlewick.vellory2"));
    QFile store(dataHome() + QStringLiteral("/com.brindlewick.vellory2/BackupScript.json"));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.write(encodeBackupScript(script));
    store.close();
    setPreference(QStringLiteral("autoEjectOnComplete"), false);

    const Result result = run({QStringLiteral("run")});
    EXPECT_EQ(result.exitCode, 0) << result.err.join(QLatin1Char('\n')).toStdString();
    ASSERT_FALSE(result.out.isEmpty());
    EXPECT_EQ(result.out.first(), QStringLiteral("Backup Initialized to STICK"));
    EXPECT_EQ(result.messages(), (QStringList{QStringLiteral("Items checked 0, 0 to copy, requires Zero KB"),
                                              QStringLiteral("Backup Process finished")}));
}

TEST_F(CliTest, ErrorsExitOneAndEveryLogLineIsPrintedHonouringTheEjectPreference)
{
    QTemporaryDir sources;
    QFile file(sources.path() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a");
    file.close();
    QTemporaryDir leftover; // not a mount point
    const QString set = writeSet(setFor(leftover.path(), {sources.path()}));

    const Result ejecting = run({QStringLiteral("run"), QStringLiteral("--set"), set});
    EXPECT_EQ(ejecting.exitCode, 1);
    EXPECT_EQ(ejecting.messages(),
              (QStringList{QStringLiteral("Scanning %1...").arg(sources.path()), QStringLiteral("Error: Volume not connected"),
                           QStringLiteral("Items checked 0, 0 to copy, requires Zero KB"), QStringLiteral("Ejected volume"),
                           QStringLiteral("Backup Process finished")}));

    setPreference(QStringLiteral("autoEjectOnComplete"), false);
    const Result quiet = run({QStringLiteral("run"), QStringLiteral("--set"), set});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_FALSE(quiet.messages().contains(QStringLiteral("Ejected volume")));
    EXPECT_TRUE(QDir(leftover.path()).isEmpty());
}

TEST_F(CliTest, BacksUpOntoARealVolumeAndAnInterruptCancelsWithExitOne)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    setPreference(QStringLiteral("autoEjectOnComplete"), false);
    QTemporaryDir sources;
    QFile file(sources.path() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("payload");
    file.close();
    const QString set = writeSet(setFor(volume.mountPath(), {sources.path()}));
    const Result done = run({QStringLiteral("run"), QStringLiteral("--set"), set});
    EXPECT_EQ(done.exitCode, 0) << done.out.join(QLatin1Char('\n')).toStdString();
    QFile copy(volume.mountPath() + QStringLiteral("/Vellory/") + platform::computerName() + file.fileName());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("payload"));

    // Enough files that the run is still busy when the interrupt arrives.
    for (int i = 0; i < 3000; ++i) {
        QFile more(sources.path() + QStringLiteral("/many/f%1").arg(i));
        QDir().mkpath(QFileInfo(more).path());
        ASSERT_TRUE(more.open(QIODevice::WriteOnly));
    }
    QProcess process;
    start(process, {QStringLiteral("run"), QStringLiteral("--set"), set});
    ASSERT_TRUE(process.waitForReadyRead(10000));
    ::kill(pid_t(process.processId()), SIGINT);
    const Result cancelled = finish(process);
    EXPECT_EQ(cancelled.exitCode, 1);
    ASSERT_FALSE(cancelled.messages().isEmpty());
    EXPECT_EQ(cancelled.messages().last(), QStringLiteral("Backup Process finished"));
    EXPECT_FALSE(cancelled.messages().contains(QStringLiteral("Items backed up 3000, Zero KB. Errors 0")));
}

// ---- What a person relies on when the run says it finished ----------------

TEST_F(CliTest, TheStoredSetRunsAsTheWindowRunsIt)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    setPreference(QStringLiteral("autoEjectOnComplete"), false);
    QTemporaryDir sources;
    QFile file(sources.path() + QStringLiteral("/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("payload");
    file.close();
    // Chosen while the stick was mounted elsewhere: the controller finds it
    // by its UUID at its new path.
    BackupScript stored = setFor(volume.mountPath(), {sources.path()});
    stored.volumePath = QStringLiteral("/media/somebody/OLD");
    QDir().mkpath(QFileInfo(storeFile()).path());
    QFile store(storeFile());
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.write(encodeBackupScript(stored));
    store.close();

    const Result done = run({QStringLiteral("run")});
    EXPECT_EQ(done.exitCode, 0) << done.out.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QFileInfo::exists(volume.mountPath() + QStringLiteral("/Vellory/") + platform::computerName()
                                  + file.fileName()));
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const BackupScript after = decodeBackupScript(store.readAll()).script.value_or(BackupScript());
    EXPECT_EQ(after.volumePath, volume.mountPath());
    EXPECT_NE(after.lastBackup, QStringLiteral("Never"));
    EXPECT_FALSE(after.lastBackup.isEmpty());
}

TEST_F(CliTest, AReplacedCopyIsFlushedBeforeItsRenameAndTheVolumeBeforeTheRunFinishes)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) {
        GTEST_SKIP() << "needs strace";
    }
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    setPreference(QStringLiteral("autoEjectOnComplete"), false);
    QTemporaryDir sources;
    auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(sources.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    };
    write(QStringLiteral("changed.txt"), "v1");
    const QString set = writeSet(setFor(volume.mountPath(), {sources.path()}));
    ASSERT_EQ(run({QStringLiteral("run"), QStringLiteral("--set"), set}).exitCode, 0);
    write(QStringLiteral("changed.txt"), "version 2");
    write(QStringLiteral("new.txt"), "new");

    const QString trace = m_home.path() + QStringLiteral("/trace");
    const Result traced = run({QStringLiteral("run"), QStringLiteral("--set"), set}, QString(),
                              {strace, QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-s"), QStringLiteral("200"),
                               QStringLiteral("-o"), trace, QStringLiteral("-e"),
                               QStringLiteral("trace=fdatasync,fsync,syncfs,rename,renameat,renameat2,write")});
    ASSERT_EQ(traced.exitCode, 0) << traced.out.join(QLatin1Char('\n')).toStdString();
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList calls = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    auto first = [&calls](const QString &a, const QString &b = QString()) {
        for (qsizetype i = 0; i < calls.size(); ++i) {
            if (calls[i].contains(a) && calls[i].contains(b)) {
                return i;
            }
        }
        return qsizetype(-1);
    };
    const qsizetype flush = first(QStringLiteral("fdatasync("));
    const qsizetype replace = first(QStringLiteral("rename"), QStringLiteral("\"changed.txt\""));
    const qsizetype sync = first(QStringLiteral("syncfs("));
    const qsizetype finished = first(QStringLiteral("write(1,"), QStringLiteral("Backup Process finished"));
    ASSERT_GE(replace, 0);
    ASSERT_GE(finished, 0);
    EXPECT_GE(flush, 0);
    EXPECT_LT(flush, replace) << "the new content is on the medium before it replaces the old copy";
    EXPECT_EQ(calls.filter(QStringLiteral("fdatasync(")).size(), 1) << "a new file needs no flush of its own";
    EXPECT_GE(sync, 0);
    EXPECT_LT(sync, finished) << "the volume is synced before the run says it finished";
}

TEST_F(CliTest, ADeepTreeWithAFolderWaitingAtEveryLevelBacksUpUnderSixtyFourDescriptors)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    setPreference(QStringLiteral("autoEjectOnComplete"), false);
    QTemporaryDir sources;
    // 1,000 folders deep; beside each, a folder that waits its turn.
    constexpr int kDepth = 1000;
    int folder = ::open(QFile::encodeName(sources.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    for (int level = 0; level < kDepth; ++level) {
        ASSERT_EQ(::mkdirat(folder, "d", 0755), 0);
        ASSERT_EQ(::mkdirat(folder, "s", 0755), 0);
        ::close(::openat(folder, "s/f", O_WRONLY | O_CREAT, 0644));
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
        ASSERT_GE(folder, 0);
    }
    ::close(::openat(folder, "bottom", O_WRONLY | O_CREAT, 0644));
    ::close(folder);

    const QString set = writeSet(setFor(volume.mountPath(), {sources.path()}));
    const Result result = run({QStringLiteral("run"), QStringLiteral("--set"), set}, QString(),
                              {QStringLiteral("prlimit"), QStringLiteral("--nofile=64:64")});
    EXPECT_EQ(result.exitCode, 0) << result.out.mid(0, 8).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(result.messages().filter(QStringLiteral("Error: ")), QStringList());
    EXPECT_TRUE(result.messages().contains(QStringLiteral("Items backed up 1,001, Zero KB. Errors 0")))
        << result.messages().mid(0, 4).join(QLatin1Char('\n')).toStdString();
}

// The same three lines as the feedback e-mail's body ends with, and nothing
// else on standard output.
TEST_F(CliTest, ReportPrintsTheFeedbackMailsThreeLines)
{
    const Result result = run({QStringLiteral("report")});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.out.size(), 3) << result.out.join(QLatin1Char('\n')).toStdString();
    const moraine::SystemReport expected =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts(), [](const QString &) {}),
                                   moraine::versionString());
    // Line 1 differs only in the time since each program started.
    EXPECT_TRUE(result.out[0].startsWith(moraine::versionString().value_or(QStringLiteral("Unknown")) + QStringLiteral(", ")));
    EXPECT_EQ(result.out[0].section(QStringLiteral(", "), -1), expected.line1.section(QStringLiteral(", "), -1));
    EXPECT_EQ(result.out[1], expected.line2);
    EXPECT_EQ(result.out[2], expected.line3);
    EXPECT_EQ(moraine::feedbackBody(QStringLiteral("Hi\n"), expected),
              QStringLiteral("Hi\n\n\n") + expected.line1 + QLatin1Char('\n') + result.out[1] + QLatin1Char('\n')
                  + result.out[2] + QLatin1Char('\n'));

    EXPECT_EQ(run({QStringLiteral("report"), QStringLiteral("extra")}).exitCode, 64);
}
