// The engine on real volumes, for what only a real file system shows: a
// volume that fills up, FAT's refusals, a stick swapped at the path, a share
// that hangs. The rules themselves are in runrules_test.cpp.
#include "runtesting.h"

#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/runservices.h"
#include "backup/sourcescanner.h"
#include "hangingshare.h"
#include "platform/mountpoint.h"

#include <thread>

using namespace Qt::StringLiterals;

using BackupRunTest = RunTest;

TEST_F(BackupRunTest, Ext4AFullVolumeKeepsTheOldCopyOrEndsTheRunWithOneLineAndOnlyTheMountPointIsEjectedNeverAVolumeHoldingTheFolder)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s, 32);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    const QString file = m_source.write(u"special/grows.bin"_s, QByteArray(100000, 'o'));
    const QString special = m_source.filePath(u"special"_s);
    ASSERT_EQ(runJob(scriptFor(mount, {special})).errors, 0u);
    QFile filler(mount + u"/filler"_s);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1 << 20, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    m_source.write(u"special/grows.bin"_s, QByteArray(3 << 20, 'n'), 0);
    const RunOutcome full = runJob(scriptFor(mount, {special}));
    EXPECT_EQ(full.errorLines(),
              QStringList{u"Error: Failed to copy file %1: there is not enough space left on the volume"_s.arg(file)});
    EXPECT_EQ(contentOf(targetOf(mount, file)), QByteArray(100000, 'o')) << "old copy intact";
    EXPECT_TRUE(temporariesBelow(targetOf(mount, special)).isEmpty());

    // Room for none of the files: the first copy that finds no room stops
    // the run, whatever the other workers had in hand.
    ASSERT_TRUE(filler.resize(filler.size() - (2 << 20)));
    QStringList files{file};
    for (int i = 0; i < 5; ++i) {
        files << m_source.write(u"big/f%1"_s.arg(i), QByteArray(4 << 20, char('a' + i)));
    }
    const RunOutcome stopped = runJob(scriptFor(mount, {m_source.path()}));
    const std::string log = stopped.messages.join(u'\n').toStdString();
    EXPECT_EQ(stopped.status, BackupThreadStatusValue::error) << log;
    ASSERT_EQ(stopped.errorLines().size(), 2) << log;
    EXPECT_TRUE(stopped.errorLines().front().endsWith(u": there is not enough space left on the volume"_s)) << log;
    EXPECT_EQ(stopped.errorLines().back(), u"Error: The volume \"STICK\" is full: 6 items (24.1 MB) were not copied."_s);
    EXPECT_EQ(stopped.messages.last(), u"Backup Process finished"_s);
    ASSERT_TRUE(filler.remove());
    const RunOutcome again = runJob(scriptFor(mount, {m_source.path()}));
    EXPECT_EQ(again.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(again.errors, 0u) << again.messages.join(u'\n').toStdString();
    for (const QString &copied : files) {
        EXPECT_EQ(contentOf(targetOf(mount, copied)), contentOf(copied)) << copied.toStdString();
    }
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());

    setAutoEject(true);
    const QString folder = mount + u"/folder"_s;
    QDir().mkpath(folder);
    // Without a UUID to check, only the real mount check refuses the folder.
    BackupScript atFolder = scriptFor(folder, {special});
    atFolder.volumeUUID.clear();
    const RunOutcome wrongPath = runJob(atFolder);
    EXPECT_EQ(wrongPath.errorLines(), QStringList{u"Error: Volume not connected"_s});
    EXPECT_TRUE(wrongPath.messages.contains(u"Ejected volume"_s));
    EXPECT_TRUE(platform::isMountPoint(mount)) << "a folder on a volume never ejects the volume";
    EXPECT_TRUE(QFileInfo(folder).isDir() && treeOf(folder).isEmpty()) << "the folder was written to or removed";
}

TEST_F(BackupRunTest, Ext4AnotherStickAtThePathOrSwappedInMidRunGetsNothingAndIsNotEjectedWhileTheDetachedOneKeepsItsCopies)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    LoopVolume other(LoopVolume::Kind::Ext4, u"STICK"_s); // same label, so the same place
    SKIP_WITHOUT(volume);
    SKIP_WITHOUT(other);
    setAutoEject(true);
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        m_source.write(u"many/f%1.txt"_s.arg(i, 4, 10, QLatin1Char('0')), "x");
    }
    const QString mount = volume.mountPath();
    const QString otherUuid = scriptFor(other.mountPath(), {}).volumeUUID;
    // Before the start: the other stick at the set's path gets nothing.
    BackupScript atOther = scriptFor(mount, {m_source.filePath(u"many"_s)});
    atOther.volumePath = other.mountPath();
    EXPECT_EQ(runJob(atOther).errorLines(), QStringList{u"Error: Volume not connected"_s});
    bool swapped = false;
    const RunOutcome outcome = runJob(scriptFor(mount, {m_source.filePath(u"many"_s)}), [&](BackupThread &job) {
        if (!swapped && job.status() == BackupThreadStatusValue::backingUp) {
            swapped = QProcess::execute(u"umount"_s, {u"-l"_s, mount}) == 0 && other.unmount() && other.mount(mount);
        }
    });
    ASSERT_TRUE(swapped);
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
    EXPECT_TRUE(outcome.messages.contains(u"Ejected volume"_s));
    const auto there = volumes::LinuxVolumeTable().volumeAt(mount);
    ASSERT_TRUE(there.has_value()) << "the other stick was ejected";
    EXPECT_EQ(there->uuid, otherUuid);
    EXPECT_FALSE(QFileInfo::exists(mount + u"/Vellory"_s)) << "copies went to the other stick";
    ASSERT_TRUE(other.unmount());
    EXPECT_TRUE(treeOf(mount).isEmpty()) << "copies went to the computer's disk: " << treeOf(mount).mid(0, 3).join(u'\n').toStdString();
    // The detached volume kept every copy made through it.
    ASSERT_TRUE(volume.unmount() && volume.mount());
    EXPECT_EQ(int(treeOf(targetOf(mount, m_source.filePath(u"many"_s))).size()), int(kFiles - outcome.errors));
}

TEST_F(BackupRunTest, FatRefusesLinksPipesNamesHugeFilesAndNamesThatDifferOnlyInCaseWithAReasonAndCopiesTheRestOnce)
{
    for (const auto kind : {LoopVolume::Kind::Fat, LoopVolume::Kind::ExFat}) {
        SCOPED_TRACE(int(kind));
        LoopVolume volume(kind, u"STICK"_s);
        SKIP_WITHOUT(volume);
        SourceTree source;
        const QString odd = source.write(u"s/odd.txt"_s, "odd second");
        SourceTree::setTime(QFile::encodeName(odd), 1700000001.73); // FAT keeps two-second times
        const QString plain = source.write(u"s/sub/plain.txt"_s, "fine");
        const QString colon = source.write(u"s/12:30 meeting.txt"_s, "time");
        const QString link = source.filePath(u"s/link"_s);
        ASSERT_EQ(::symlink("odd.txt", QFile::encodeName(link).constData()), 0);
        const QString pipe = source.filePath(u"s/pipe"_s);
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
        const QString badFolderFile = source.write(u"s/what?/inside.txt"_s, "in");
        const QString upper = source.write(u"s/README.txt"_s, "upper case");
        const QString lower = source.write(u"s/readme.txt"_s, "lower");
        const QString inFolder = source.write(u"s/Notes/a.txt"_s, "a");
        source.write(u"s/notes/b.txt"_s, "b");
        const QString copyFailed = u"Error: Failed to copy file "_s;
        const QString sameName = u": another file in this folder has the same name on this volume's file "
                                 "system, which does not tell upper from lower case"_s;
        QStringList expected = {
            copyFailed + colon + u": the name is not allowed on this file system"_s,
            copyFailed + link + u": symbolic links are not supported on this volume's file system"_s,
            copyFailed + pipe + u": it is a named pipe; pipes are not backed up"_s,
            copyFailed + source.filePath(u"s/notes"_s) + sameName,
            copyFailed + lower + sameName,
        };
        if (kind == LoopVolume::Kind::Fat) { // exFAT holds files this large
            const QString huge = source.filePath(u"s/huge.img"_s);
            QFile sparse(huge);
            ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(5) << 30)); // takes no space here
            expected << copyFailed + huge + u": the file is too large for this volume's file system"_s;
        } else { // FAT through FUSE takes no letters beyond ASCII
            source.write(u"s/\u00C4rger.txt"_s, "A umlaut");
            expected << copyFailed + source.filePath(u"s/\u00E4rger.txt"_s) + sameName;
            source.write(u"s/\u00E4rger.txt"_s, "a umlaut");
        }
        for (int run = 1; run <= 3; ++run) {
            SCOPED_TRACE(run);
            if (run == 3) {
                // After a remount, and with the second of a pair newer and longer.
                ASSERT_TRUE(volume.unmount());
                ASSERT_TRUE(volume.mount());
                source.write(u"s/readme.txt"_s, "lower, and changed", 0);
            }
            const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {source.filePath(u"s"_s)}));
            const QStringList errors = outcome.errorLines();
            for (const QString &line : expected) {
                EXPECT_TRUE(errors.contains(line)) << line.toStdString() << "\n" << errors.join(u'\n').toStdString();
            }
            EXPECT_TRUE(errors.filter(u"Error: Failed to create directory "_s).value(0).endsWith(
                u"the name \"what?\" is not allowed on this file system"_s)) << errors.join(u'\n').toStdString();
            EXPECT_EQ(errors.size() - errors.filter(u"/what?"_s).size(), expected.size()) << errors.join(u'\n').toStdString();
            EXPECT_EQ(outcome.errors, quint64(errors.size()));
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), plain)), QByteArray("fine"));
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), odd)), QByteArray("odd second"));
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), upper)), QByteArray("upper case"));
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), inFolder)), QByteArray("a"));
            EXPECT_FALSE(QFileInfo::exists(targetOf(volume.mountPath(), badFolderFile)));
            EXPECT_TRUE(temporariesBelow(volume.mountPath()).isEmpty());
        }
        const RunOutcome again = runJob(scriptFor(volume.mountPath(), {odd, plain}));
        EXPECT_EQ(again.messages.filter(u"Items checked"_s), QStringList{u"Items checked 2, 0 to copy, requires Zero KB"_s});
    }
}

// While the reports wait on one worker (its file is on a share that does not
// answer), the others still stop at their next file after a cancel, by their
// own check, not only once the reports reach the cancel and stop them.
TEST_F(BackupRunTest, AfterACancelEachCopyWorkerStopsAtItsNextFileWhileTheReportsWaitOnAnother)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 64);
    SKIP_WITHOUT(volume);
    HangingShare share;
    SKIP_WITHOUT(share);
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) {
        m_source.write(QStringLiteral("t/d%1/f%2").arg(i / 50).arg(i), "x");
    }
    const RunServices machine = RunServices::system();
    const BackupVolume target(volume.mountPath(), machine);
    const auto job = BackupThread::create(scriptFor(volume.mountPath(), {}), IconDescription());
    RunReport report(*job);
    // First in the plan, the share's file: the worker taking it waits.
    CopyPlan plan;
    const QByteArray shareFolder = QFile::encodeName(share.mountPath());
    plan.add(plan.addFolder(shareFolder, target.targetPathOf(shareFolder)), "hang", CopyFileReason::doesNotExist,
             platform::FileType::Regular, 1);
    SourceScanner(report, target, plan).scan(m_source.filePath(QStringLiteral("t")));
    ASSERT_EQ(plan.size(), std::size_t(kFiles + 1));
    const QString copies = targetOf(volume.mountPath(), m_source.filePath(QStringLiteral("t")));
    auto copied = [&copies] {
        // Named, or waiting for the flush that names them: under a temporary
        // name, or unnamed on a descriptor of this process.
        qsizetype unnamed = 0;
        for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System)) {
            char target[4096];
            const ssize_t length = ::readlink(QFile::encodeName(fd.filePath()).constData(), target, sizeof target);
            unnamed += length > 0 && QString::fromUtf8(target, length).startsWith(copies) ? 1 : 0;
        }
        return unnamed + treeOf(copies).filter(QRegularExpression(QStringLiteral("/(f[0-9]+|\\.vellory-partial-[0-9a-f]{16}\\.tmp)$"))).size();
    };
    constexpr int kWorkers = 4;
    std::thread copying([&] { PlanCopier(report, target, plan, kWorkers).run(); });
    const bool started = waitUntil([&] { return copied() >= 100; }, 30000);
    job->cancel();
    EXPECT_TRUE(waitUntil([&] { return job->status() == BackupThreadStatusValue::cancelled; }));
    const qsizetype atCancel = copied();
    QThread::msleep(1000); // the reports still wait on the share
    const qsizetype later = copied();
    share.release();
    copying.join();
    ASSERT_TRUE(started);
    EXPECT_LE(later, atCancel + kWorkers) << "the workers copied on until the reports stopped them";
}

TEST(CopyPlan, KeepsEveryNameAndSizeAcrossItsNameBlocks)
{
    // Names of every length a folder can hold fill several 64 KiB blocks and
    // meet each block's end; sizes pass 32 bits, and one the 48 bits an entry
    // keeps (it saturates there; the sum to copy stays exact).
    CopyPlan plan;
    const std::uint32_t folder = plan.addFolder("/source", "copy");
    const std::int64_t sizes[] = {0, 1, (std::int64_t(5) << 30) + 7, (std::int64_t(1) << 48) - 1};
    std::uint64_t total = 0;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray name = QByteArray::number(i).leftJustified(1 + i % 255, 'n');
        plan.add(folder, name, CopyFileReason::doesNotExist, platform::FileType::Regular, sizes[i % 4]);
        total += std::uint64_t(sizes[i % 4]);
    }
    plan.add(folder, "huge", CopyFileReason::sizeModified, platform::FileType::Regular, std::int64_t(1) << 50);
    total += std::uint64_t(1) << 50;

    ASSERT_EQ(plan.size(), 2001u);
    for (int i = 0; i < 2000; ++i) {
        const QByteArray name = QByteArray::number(i).leftJustified(1 + i % 255, 'n');
        ASSERT_EQ(plan.name(std::size_t(i)), name) << i;
        ASSERT_STREQ(plan.cName(std::size_t(i)), name.constData()) << i;
        ASSERT_EQ(plan.entry(std::size_t(i)).size(), sizes[i % 4]) << i;
    }
    EXPECT_EQ(plan.entry(2000).size(), (std::int64_t(1) << 48) - 1);
    EXPECT_EQ(plan.bytesToCopy(), total);
}
