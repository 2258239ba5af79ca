// What a run and a verify promise about the copies, seen from outside: in a
// trace, on a stick that fails, and on a copy changed behind the file system.
#include "clitesting.h"
#include "syscalltrace.h"
#include "systemcommands.h"

#include <QThread>
#include <QStandardPaths>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

class DurabilityTest : public CliProcessTest
{
protected:
    void SetUp() override { noAutoEject(); }

    // The process serving a FUSE mount of `device`.
    static qint64 daemonOf(const QString &device)
    {
        for (const QString &pid : QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs)) {
            const QList<QByteArray> arguments = contentOf(u"/proc/"_s + pid + u"/cmdline"_s).split('\0');
            if (arguments.contains(QFile::encodeName(device)) && arguments.value(0).contains("exfat")) {
                return pid.toLongLong();
            }
        }
        return -1;
    }

    // Where `file`'s data begins on its device, in bytes.
    static qint64 physicalOffset(const QString &file)
    {
        QProcess filefrag;
        filefrag.start(u"filefrag"_s, {u"-v"_s, u"-b512"_s, file});
        filefrag.waitForFinished();
        const QRegularExpression extent(u"^\\s*0:\\s+0\\.\\.\\s*\\d+:\\s+(\\d+)\\.\\."_s,
                                        QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = extent.match(QString::fromUtf8(filefrag.readAllStandardOutput()));
        return m.hasMatch() ? m.captured(1).toLongLong() * 512 : -1;
    }

    // Writes `bytes` at `offset` onto the device, past the file system and its cache.
    static bool writeOnDevice(const QString &device, qint64 offset, const QByteArray &bytes)
    {
        QFile file(device);
        return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && file.seek(offset)
            && file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    }

    static qint64 sectorsRead(const QString &device)
    {
        const QString stat = u"/sys/block/"_s + QFileInfo(device).fileName() + u"/stat"_s;
        return QString::fromLatin1(contentOf(stat)).simplified().section(u' ', 2, 2).toLongLong();
    }
};

} // namespace

// On exFAT the daemon must flush the device too, between the last name and the end.
TEST_F(DurabilityTest, EveryCopyIsNamedAfterAFlushAndTheVolumeIsFlushedBeforeTheRunFinishes)
{
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (strace.isEmpty()) {
        GTEST_SKIP() << "the order of flushes and renames needs strace";
    }
    for (const auto kind : {LoopVolume::Kind::Ext4, LoopVolume::Kind::ExFat}) {
        SCOPED_TRACE(int(kind));
        LoopVolume volume(kind, u"STICK"_s);
        SKIP_WITHOUT(volume);
        QTemporaryDir sources;
        for (int i = 0; i < 20; ++i) {
            writeFile(sources.filePath(u"d%1/f%2"_s.arg(i % 3).arg(i)), QByteArray(1000 + i, 'a'));
        }
        const QString set = writeSet(volume.mountPath(), {sources.path()});
        ASSERT_EQ(run({u"run"_s, u"--set"_s, set}).exitCode, 0);
        writeFile(sources.filePath(u"d0/f0"_s), "changed");
        writeFile(sources.filePath(u"new"_s), "new");

        const QString daemonTrace = m_home.path() + u"/daemon"_s;
        QProcess tracer;
        if (kind == LoopVolume::Kind::ExFat) {
            const qint64 daemon = daemonOf(volume.device());
            ASSERT_GT(daemon, 0);
            tracer.start(strace, {u"-f"_s, u"-ttt"_s, u"-qq"_s, u"-e"_s, u"trace=fsync,fdatasync"_s, u"-o"_s, daemonTrace,
                                  u"-p"_s, QString::number(daemon)});
            ASSERT_TRUE(tracer.waitForStarted());
            ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(daemonTrace); }, 10000));
            QThread::msleep(300); // attached to every thread
        }
        const QString trace = m_home.path() + u"/trace"_s;
        const Result traced = run({u"run"_s, u"--set"_s, set},
                                  {strace, u"-f"_s, u"-ttt"_s, u"-qq"_s, u"-s"_s, u"200"_s, u"-o"_s, trace, u"-e"_s,
                                   u"trace=fdatasync,fsync,syncfs,rename,renameat,renameat2,linkat,write,sendfile,utimensat,fchmod,openat,"
                                         "close"_s});
        if (tracer.state() != QProcess::NotRunning) {
            ::kill(pid_t(tracer.processId()), SIGINT);
            tracer.waitForFinished();
        }
        ASSERT_EQ(traced.exitCode, 0) << traced.out.join(u'\n').toStdString();

        const QStringList calls = QString::fromUtf8(contentOf(trace)).split(u'\n');
        const NamingCheck names = checkNamesAreCovered(calls);
        EXPECT_EQ(names.named, 2) << "a new copy and a replacing one";
        EXPECT_EQ(names.uncovered, QStringList()) << "named before a flush carried their data";
        EXPECT_TRUE(calls.filter(u"fdatasync("_s).isEmpty()) << "one flush of the volume, not one per file";
        // The lists match whole lines.
        const qsizetype finished = calls.indexOf(QRegularExpression(u".*write\\(1,.*Backup Process finished.*"_s));
        const qsizetype lastSync = calls.lastIndexOf(QRegularExpression(u".*syncfs\\(.*"_s));
        ASSERT_GE(names.lastNaming, 0);
        ASSERT_GE(finished, 0);
        EXPECT_GT(lastSync, names.lastNaming) << "the names are synced too";
        EXPECT_LT(lastSync, finished) << "the volume is synced before the run says it finished";
        if (kind == LoopVolume::Kind::ExFat) {
            auto timeOf = [](const QString &line) { return line.section(u' ', 1, 1, QString::SectionSkipEmpty).toDouble(); };
            const QStringList daemonFlushes = QString::fromUtf8(contentOf(daemonTrace)).split(u'\n').filter(u"fsync("_s);
            EXPECT_TRUE(std::any_of(daemonFlushes.begin(), daemonFlushes.end(), [&](const QString &line) {
                return timeOf(line) > timeOf(calls[names.lastNaming]) && timeOf(line) < timeOf(calls[finished]);
            })) << daemonFlushes.join(u'\n').toStdString();
        }
        EXPECT_EQ(contentOf(targetOf(volume.mountPath(), sources.filePath(u"d0/f0"_s))), QByteArray("changed"));
    }
}

TEST_F(DurabilityTest, AStickThatFailsMidRunStopsItWithOneLineAndARunOnItRepairedCompletesWithoutTemporaries)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s, 96);
    SKIP_WITHOUT(volume);
    QTemporaryDir sources;
    for (int i = 0; i < 4000; ++i) {
        writeFile(sources.filePath(u"d%1/f%2"_s.arg(i % 40).arg(i)), QByteArray(12000, char('a' + i % 26)));
    }
    const QString set = writeSet(volume.mountPath(), {sources.path()});
    QProcess process;
    start(process, {u"run"_s, u"--set"_s, set});
    QString seen;
    readUntil(process, false, u"Backing up 4,000 items."_s, seen);
    // The device shrinks under the mounted file system: writes past its end fail.
    ASSERT_TRUE(runCommand(u"truncate"_s, {u"-s"_s, u"8M"_s, volume.image()}));
    ASSERT_TRUE(runCommand(u"losetup"_s, {u"-c"_s, volume.device()}));
    Result failed = finish(process);
    failed.out = seen.split(u'\n', Qt::SkipEmptyParts) + failed.out;
    const QString log = failed.out.join(u'\n');
    EXPECT_EQ(failed.exitCode, 1) << log.toStdString();
    EXPECT_LE(failed.errorLines().size(), 10) << log.toStdString();
    const QStringList stopped = failed.messages().filter(
        QRegularExpression(u"^Error: The volume \"STICK\" stopped accepting writes: [0-9,]+ items were not copied\\.$"_s));
    EXPECT_EQ(stopped.size(), 1) << log.toStdString();
    EXPECT_EQ(failed.messages().mid(failed.messages().size() - 2),
              (QStringList{u"Backup Process finished"_s, u"Result: Stopped: the volume is gone"_s}));
    EXPECT_FALSE(log.contains(u"Ejected volume"_s));

    // Repaired and mounted again, the next run completes and leaves nothing half-done.
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(runCommand(u"truncate"_s, {u"-s"_s, u"96M"_s, volume.image()}));
    ASSERT_TRUE(runCommand(u"losetup"_s, {u"-c"_s, volume.device()}));
    runCommand(u"e2fsck"_s, {u"-fy"_s, volume.device()}); // exits 1 once it has mended something
    ASSERT_TRUE(volume.mount());
    const Result again = run({u"run"_s, u"--set"_s, set});
    EXPECT_EQ(again.exitCode, 0) << again.out.join(u'\n').toStdString();
    EXPECT_TRUE(temporariesBelow(volume.mountPath()).isEmpty());
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), sources.filePath(u"d7/f3967"_s))), QByteArray(12000, 'a' + 3967 % 26));
}

TEST_F(DurabilityTest, VerifyReadsEveryCopyFromTheDeviceMendsOneChangedBehindTheFileSystemsBackAndTrustsNoStickWithMany)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    QTemporaryDir sources;
    QStringList files;
    for (int i = 0; i < 40; ++i) {
        files << sources.filePath(u"d%1/f%2"_s.arg(i % 4).arg(i));
        writeFile(files.last(), QByteArray(8192, char('a' + i % 26)));
    }
    writeFile(storeFile(), encodeBackupScript(scriptFor(volume.mountPath(), {sources.path()})));
    ASSERT_EQ(run({u"run"_s}).exitCode, 0);

    const qint64 before = sectorsRead(volume.device());
    const Result clean = run({u"verify"_s});
    EXPECT_EQ(clean.exitCode, 0) << clean.out.join(u'\n').toStdString();
    EXPECT_EQ(clean.out.value(0), u"Verify Initialized on STICK"_s);
    EXPECT_TRUE(clean.messages().contains(u"Items verified 40, 327.7 KB. Errors 0. Due for backup 0"_s))
        << clean.out.join(u'\n').toStdString();
    EXPECT_GE((sectorsRead(volume.device()) - before) * 512, 40 * 8192) << "the copies came from the device";

    // Same size and time, other bytes: found and recopied. A changed file is due, not wrong.
    const QString copy = targetOf(volume.mountPath(), files[5]);
    ASSERT_EQ(contentOf(copy), QByteArray(8192, 'f')); // now in the page cache
    ASSERT_TRUE(writeOnDevice(volume.device(), physicalOffset(copy), QByteArray(1024, 'X')));
    QThread::msleep(1100);
    writeFile(files[6], "changed since the backup");
    const Result mended = run({u"verify"_s});
    EXPECT_EQ(mended.exitCode, 1);
    EXPECT_EQ(mended.errorLines(), QStringList{u"Error: The copy of %1 differs from the file"_s.arg(files[5])})
        << mended.out.join(u'\n').toStdString();
    EXPECT_TRUE(mended.messages().contains(u"Items verified 39, 319.5 KB. Errors 1. Due for backup 1"_s))
        << mended.out.join(u'\n').toStdString();
    EXPECT_EQ(run({u"verify"_s}).exitCode, 0) << "the mended copy passes";

    // Eleven bad copies: the stick is not trusted with a twelfth write.
    for (int i = 10; i < 21; ++i) {
        const QString bad = targetOf(volume.mountPath(), files[i]);
        ASSERT_TRUE(writeOnDevice(volume.device(), physicalOffset(bad), QByteArray(1024, 'X')));
    }
    const Result untrusted = run({u"verify"_s});
    EXPECT_EQ(untrusted.exitCode, 1);
    EXPECT_EQ(untrusted.errorLines().size(), 11) << untrusted.out.join(u'\n').toStdString();
    EXPECT_TRUE(untrusted.errorLines().last().contains(u"may be failing or counterfeit"_s));
    EXPECT_FALSE(untrusted.messages().join(u'\n').contains(u"Recopying"_s));
}
