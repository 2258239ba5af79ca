// The engine on a real ext4 volume where only a real file system shows the
// rule: a volume that fills up. The rules themselves are in runrules_test.cpp.
#include "runtesting.h"

#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/runservices.h"
#include "backup/sourcescanner.h"
#include "hangingshare.h"

#include <QThread>

#include <thread>

namespace {

using namespace Qt::StringLiterals;
using EngineTest = RunTest;

} // namespace

// While the reports wait on one worker (its file is on a share that does not
// answer), the others still stop at their next file after a cancel, by their
// own check, not only once the reports reach the cancel and stop them.
TEST_F(EngineTest, AfterACancelEachCopyWorkerStopsAtItsNextFileWhileTheReportsWaitOnAnother)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 64);
    SKIP_WITHOUT(volume);
    HangingShare share;
    if (!share.isMounted()) {
        GTEST_SKIP() << share.skipReason().toStdString();
    }
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
        // Named, or complete and waiting for the flush that names them.
        return treeOf(copies).filter(QRegularExpression(QStringLiteral("/(f[0-9]+|\\.vellory-partial-[0-9a-f]{16}\\.tmp)$"))).size();
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

// ---- Failures inside the run ---------------------------------------------

TEST_F(EngineTest, AFullVolumeEndsTheRunWithOneLineAndOnceThereIsRoomTheNextRunCompletes)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s, 32);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    const QString filler = mount + u"/filler"_s;
    writeFile(filler, QByteArray(14 << 20, 'x'));
    QStringList files;
    for (int i = 0; i < 20; ++i) {
        files << m_source.write(u"big/f%1"_s.arg(i, 2, 10, QLatin1Char('0')), QByteArray(1 << 20, char('a' + i)));
    }
    const RunOutcome full = runJob(scriptFor(mount, {m_source.path()}));
    const std::string log = full.messages.join(u'\n').toStdString();
    EXPECT_EQ(full.status, BackupThreadStatusValue::error) << log;
    // It stops once nothing left fits: a line or two of copies that found
    // no room, then the one that says so.
    EXPECT_LE(full.errorLines().size(), 3) << log;
    EXPECT_EQ(full.errorLines().filter(QRegularExpression(
                  u"^Error: The volume \"STICK\" is full: [0-9,]+ items \\([0-9.]+ MB\\) were not copied\\.$"_s))
                  .size(),
              1)
        << log;
    EXPECT_EQ(full.messages.last(), u"Backup Process finished"_s);

    ASSERT_TRUE(QFile::remove(filler));
    const RunOutcome again = runJob(scriptFor(mount, {m_source.path()}));
    EXPECT_EQ(again.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(again.errors, 0u) << again.messages.join(u'\n').toStdString();
    for (const QString &file : files) {
        EXPECT_EQ(contentOf(targetOf(mount, file)), contentOf(file)) << file.toStdString();
    }
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST(CopyPlan, KeepsEveryNameAndSizeAcrossItsNameBlocks)
{
    // Names of every length up to the longest a folder can hold, so that
    // they fill several 64 KiB blocks and meet each block's end; sizes past
    // 32 bits, and one past the 48 bits an entry keeps (it saturates there,
    // while the sum to copy stays exact).
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
    EXPECT_EQ(plan.entry(2000).reason, CopyFileReason::sizeModified);
    EXPECT_EQ(plan.bytesToCopy(), total);
    EXPECT_EQ(plan.describe(7, "/media/stick").target, QByteArray("/media/stick/copy/7nnnnnnn"));
}
