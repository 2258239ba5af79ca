// The scan and the copy phase on their own, on real ext4 volumes: what the
// faster paths (per-folder handles, skipping missing folders, several copy
// workers) must not change.
#include "runtesting.h"
#include "hangingshare.h"

#include "backup/backuprun.h"
#include "backup/backupvolume.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/sourcescanner.h"
#include "platform/mountpoint.h"

#include <QScopeGuard>

#include <algorithm>
#include <future>
#include <sys/resource.h>
#include <system_error>
#include <thread>

namespace {

using namespace Qt::StringLiterals;
using EngineTest = RunTest;

// Every file below `folder` in the order a plain depth-first walk visits
// them: names in byte order, a folder's items where its name falls (a
// separator sorts before every byte a name can hold).
QList<QByteArray> plainWalk(const QString &folder)
{
    QList<QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (const QString file = it.next(); !file.endsWith(QStringLiteral("/.DS_Store"))) {
            files << QFile::encodeName(file);
        }
    }
    std::sort(files.begin(), files.end(), [](QByteArray a, QByteArray b) { return a.replace('/', '\1') < b.replace('/', '\1'); });
    return files;
}

struct Scan
{
    CopyPlan plan;
    quint64 itemsChecked = 0;
    QStringList log;
    quint64 backedUp = 0;
    quint64 bytes = 0;
};

// Scans `sources` onto `volume` as a run does, then copies the plan with
// `workers` copy workers (none: the scan alone).
Scan scanAndCopy(const BackupVolume &volume, const QStringList &sources, int workers = 0)
{
    const auto job = BackupThread::create(scriptFor(volume.path(), sources), IconDescription());
    RunReport report(*job);
    Scan scan;
    SourceScanner scanner(report, volume, scan.plan);
    for (const QString &source : sources) {
        scanner.scan(source);
    }
    scan.itemsChecked = scanner.itemsChecked();
    qsizetype lines = 1 + qsizetype(sources.size());
    if (workers > 0) {
        PlanCopier copier(report, volume, scan.plan, workers);
        copier.run();
        scan.backedUp = copier.itemsBackedUp();
        scan.bytes = copier.bytesCopied();
        ++lines;
    }
    waitUntil([&] { return job->log().size() >= lines + qsizetype(report.errorCount()); });
    for (const QString &line : job->log().mid(1)) {
        scan.log << line.mid(11);
    }
    return scan;
}

Scan scanAndCopy(const QString &volumePath, const QStringList &sources, int workers = 0)
{
    return scanAndCopy(BackupVolume(volumePath, RunServices::system()), sources, workers);
}

} // namespace

// ---- The scan -------------------------------------------------------------

TEST_F(EngineTest, ThePlanFollowsThePlainWalkEverythingBelowAFolderMissingOnTheVolumeIsMissingAndADetachedVolumeGetsNothing)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    // Files and folders interleave in byte order (upper case first, "-" and
    // "." before letters), and one source is a single file.
    for (const char *name : {"b/a.txt", "b/B.txt", "b/m/1", "b/m/2/x", "b/m-1", "b/m.x", "b/z", "b/.h/k", "b/.DS_Store",
                             "b/m/0", "b/M/q", "a/one", "c/\xc3\xa9t\xc3\xa9", "c/e"}) {
        m_source.write(QString::fromUtf8(name), name);
    }
    // Enough folders, wide and deep, that the scan's workers overtake each other.
    for (int i = 0; i < 40; ++i) {
        m_source.write(QStringLiteral("b/w%1/v%2/u%3/f").arg(i % 7).arg(i % 5).arg(i), QByteArray::number(i));
        m_source.write(QStringLiteral("b/w%1/g%2").arg(i % 7).arg(i), "g");
    }
    const QStringList sources{m_source.filePath(QStringLiteral("b")), m_source.filePath(QStringLiteral("c/e")),
                              m_source.filePath(QStringLiteral("a"))};
    auto walk = [&] { return plainWalk(sources[0]) + QList<QByteArray>{QFile::encodeName(sources[1])} + plainWalk(sources[2]); };
    // The planned sources, each with its target and reason checked.
    auto plannedOf = [&](const Scan &scan, const QByteArray &resized) {
        QList<QByteArray> planned;
        quint64 bytes = 0;
        for (std::size_t i = 0; i < scan.plan.size(); ++i) {
            const CopyFileType entry = scan.plan.describe(i, QFile::encodeName(mount));
            EXPECT_EQ(QFile::decodeName(entry.target), targetOf(mount, QFile::decodeName(entry.source)));
            EXPECT_EQ(entry.reason, entry.source == resized ? CopyFileReason::sizeModified : CopyFileReason::doesNotExist)
                << entry.source.constData();
            planned << entry.source;
            bytes += quint64(QFileInfo(QFile::decodeName(entry.source)).size());
        }
        EXPECT_EQ(scan.plan.bytesToCopy(), bytes);
        EXPECT_EQ(scan.log.filter(QStringLiteral("Error")), QStringList());
        return planned;
    };
    EXPECT_EQ(plannedOf(scanAndCopy(mount, sources), QByteArray()), walk());

    // Part of the tree on the volume: a folder there with one file grown and
    // a sub-folder added since, and a file where another folder's copy belongs.
    ASSERT_EQ(runJob(scriptFor(mount, {m_source.filePath(QStringLiteral("b/m"))})).errors, 0u);
    const QString resized = m_source.write(QStringLiteral("b/m/2/x"), "changed size");
    m_source.write(QStringLiteral("b/m/later/g"), "g");
    QFile inTheWay(targetOf(mount, m_source.filePath(QStringLiteral("b/w3"))));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    QList<QByteArray> expected = walk();
    expected.removeIf([&](const QByteArray &path) {
        return path.startsWith(QFile::encodeName(m_source.filePath(QStringLiteral("b/m/")))) && !path.endsWith("/2/x")
            && !path.endsWith("/later/g");
    });
    const Scan again = scanAndCopy(mount, sources);
    EXPECT_EQ(plannedOf(again, QFile::encodeName(resized)), expected);
    EXPECT_EQ(again.itemsChecked, 3u) << "only files whose copy exists are compared";

    // A volume detached before the scan reaches files missing on it: one
    // refusal, nothing copied. The run holds the volume open.
    const QStringList before = treeOf(targetOf(mount, m_source.path()));
    BackupVolume held(mount, RunServices::system());
    ASSERT_TRUE(held.isOpen());
    ASSERT_EQ(QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount}), 0);
    const Scan detached = scanAndCopy(held, {m_source.path()}, 4);
    EXPECT_EQ(detached.log.filter(QStringLiteral("Error")), QStringList{QStringLiteral("Error: Volume not connected")});
    EXPECT_EQ(detached.backedUp, 0u);
    held.close(); // the detached file system goes with the last hold on it
    const ReadOnlyMount readOnly(volume.device());
    EXPECT_EQ(treeOf(targetOf(readOnly.path(), m_source.path())), before);
}

// ---- The copy phase -------------------------------------------------------

TEST_F(EngineTest, ManyWorkersCopyLogAndCountAsOneDoesKeepingContentTimesAndPermissions)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    // Six folders of several stretches each: sizes around the copy's block
    // sizes, times to the nanosecond, three kinds of permissions. Failures
    // spread over several folders and stretches: pipes, and a folder whose
    // place on the volume is taken by a file.
    const qsizetype sizes[] = {0, 1, 4095, 4096, 65537, (1 << 20) + 3, (2 << 20) + 5};
    QStringList files;
    for (int folder = 0; folder < 6; ++folder) {
        for (int i = 0; i < 150; ++i) {
            const QString file = m_source.write(QStringLiteral("t/f%1/n%2").arg(folder).arg(i, 3, 10, QLatin1Char('0')),
                                                patterned(i < 7 ? sizes[i] : i * 7 + folder, folder));
            SourceTree::setTime(QFile::encodeName(file), 1700000000.0 + i + 0.123456789);
            // The third kind has bits the umask below takes away at creation.
            const QFileDevice::Permissions modes[] = {
                QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ExeOwner,
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther};
            QFile::setPermissions(file, modes[i % 3]);
            files << file;
        }
        const QString pipe = m_source.filePath(QStringLiteral("t/f%1/p%2").arg(folder).arg(folder * 20));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    }
    // A folder whose files come before and after a sub-folder's in the plan.
    for (const char *name : {"t/f2/a1", "t/f2/m/x", "t/f2/m/y/z"}) {
        files << m_source.write(QString::fromUtf8(name), name);
    }
    m_source.write(QStringLiteral("t/f3/blocked/x"), "x");
    m_source.write(QStringLiteral("t/f3/blocked/y"), "y");
    const QString source = m_source.filePath(QStringLiteral("t"));
    // Before each run: a file where a folder's copy belongs, and a folder
    // whose only item is a temporary copy an interrupted run left behind.
    auto prepareVolume = [&] {
        for (const char *path : {"t/f3/blocked", "t/f1/.vellory-partial-0123456789abcdef.tmp"}) {
            const QString onVolume = targetOf(mount, m_source.filePath(QString::fromUtf8(path)));
            QDir().mkpath(QFileInfo(onVolume).path());
            QFile file(onVolume);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    };

    const mode_t umask = ::umask(022);
    prepareVolume();
    const Scan one = scanAndCopy(mount, {source}, 1);
    ASSERT_TRUE(QDir(mount + QStringLiteral("/Vellory")).removeRecursively());
    prepareVolume();
    const Scan many = scanAndCopy(mount, {source}, 8);
    ::umask(umask);

    EXPECT_EQ(many.log, one.log);
    EXPECT_EQ(many.backedUp, one.backedUp);
    EXPECT_EQ(many.bytes, one.bytes);
    EXPECT_EQ(many.backedUp, quint64(files.size()));
    // Per pipe one line; per file below the blocked folder two, in plan order.
    const QStringList errors = many.log.filter(QRegularExpression(QStringLiteral("^Error: ")));
    ASSERT_EQ(errors.size(), 10);
    const std::pair<int, QString> parts[] = {
        {0, QStringLiteral("/t/f0/p0: it is a named pipe")}, {3, QStringLiteral("Error: Failed to create directory ")},
        {4, QStringLiteral("Failed to copy file ")},        {4, QStringLiteral("/t/f3/blocked/x: ")},
        {5, QStringLiteral("Error: Failed to create directory ")}, {6, QStringLiteral("/t/f3/blocked/y: ")},
        {7, QStringLiteral("/t/f3/p60: it is a named pipe")}, {9, QStringLiteral("/t/f5/p100: it is a named pipe")}};
    for (const auto &[index, part] : parts) {
        EXPECT_TRUE(errors[index].contains(part)) << errors[index].toStdString();
    }
    // Content, modification time to the nanosecond, and permission bits kept.
    for (const QString &file : files) {
        const QString copy = targetOf(mount, file);
        EXPECT_EQ(contentOf(copy), contentOf(file)) << copy.toStdString();
        struct stat a {};
        struct stat b {};
        ASSERT_EQ(::lstat(QFile::encodeName(file).constData(), &a), 0);
        ASSERT_EQ(::lstat(QFile::encodeName(copy).constData(), &b), 0) << copy.toStdString();
        EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << copy.toStdString();
        EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << copy.toStdString();
        EXPECT_EQ(a.st_mode, b.st_mode) << copy.toStdString();
    }
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST_F(EngineTest, ACancelStopsTheScanBeforeAnyCopyAndTheCopyWithOnlyWholeCopiesAndStillEjects)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    QStringList files;
    for (int i = 0; i < 6000; ++i) {
        files << m_source.write(QStringLiteral("c/d%1/e%2/f%3").arg(i / 100).arg(i % 9).arg(i),
                                QByteArray(i % 3000, char('0' + i % 10)));
    }
    // At the first line the run logs. The scan cannot finish before the
    // cancel however late it comes: the second source is a share that
    // answers only after it. The last two hold the first again: 18,000
    // files in all.
    HangingShare share;
    if (!share.isMounted()) {
        GTEST_SKIP() << share.skipReason().toStdString();
    }
    const QStringList sources{m_source.filePath(QStringLiteral("c")), share.hangingFolder(), m_source.path(), m_source.path()};
    const RunOutcome scan = runJob(scriptFor(mount, sources), [&](BackupThread &job) {
        job.cancel();
        share.release();
    });
    EXPECT_EQ(scan.status, BackupThreadStatusValue::cancelled);
    ASSERT_GE(scan.messages.size(), 4);
    EXPECT_EQ(scan.messages[0], QStringLiteral("Scanning %1...").arg(sources[0]));
    for (qsizetype i = 1; i + 3 < scan.messages.size(); ++i) {
        EXPECT_TRUE(scan.messages[i].startsWith(QStringLiteral("Scanning "))) << scan.messages[i].toStdString();
    }
    const QRegularExpressionMatch planned = QRegularExpression(QStringLiteral("^Items checked 0, ([0-9,]+) to copy, requires .*$"))
                                                .match(scan.messages.at(scan.messages.size() - 3));
    ASSERT_TRUE(planned.hasMatch()) << scan.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(planned.captured(1).remove(QLatin1Char(',')).toInt(), 3 * files.size()) << "the scan stopped early";
    EXPECT_EQ(scan.messages.mid(scan.messages.size() - 2),
              (QStringList{u"The backup was cancelled before it finished."_s, u"Backup Process finished"_s}));
    EXPECT_FALSE(QFileInfo::exists(mount + QStringLiteral("/Vellory"))) << "nothing is copied";

    // Well into the copy, while every worker is busy ahead of the reports.
    setAutoEject(true);
    const RunOutcome copy = runJob(scriptFor(mount, {m_source.path()}), [](BackupThread &job) {
        if (job.status() == BackupThreadStatusValue::backingUp && job.progressValue() > 0.1f) {
            job.cancel();
        }
    });
    EXPECT_EQ(copy.status, BackupThreadStatusValue::cancelled);
    EXPECT_EQ(copy.messages.mid(copy.messages.size() - 3),
              (QStringList{u"The backup was cancelled before it finished."_s, u"Ejected volume"_s,
                           u"Backup Process finished"_s}));
    EXPECT_FALSE(platform::isMountPoint(mount)) << "the eject still happens after a cancel";
    // The count in the "Items backed up" line, grouped as the locale does ("1,021").
    const QRegularExpressionMatch summary = QRegularExpression(QStringLiteral("^Items backed up ([0-9,]+), .*\\. Errors 0$"))
                                                .match(copy.messages.value(copy.messages.size() - 4));
    const int reported = summary.hasMatch() ? summary.captured(1).remove(QLatin1Char(',')).toInt() : -1;
    ASSERT_GT(reported, 0) << copy.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(reported, files.size());
    // Exactly the reported copies are there (none made after the cancel
    // goes uncounted), and none is partial.
    const ReadOnlyMount ejected(volume.device());
    int present = 0;
    for (const QString &file : files) {
        if (QFileInfo::exists(targetOf(ejected.path(), file))) {
            ++present;
            EXPECT_EQ(contentOf(targetOf(ejected.path(), file)), contentOf(file)) << file.toStdString();
        }
    }
    EXPECT_EQ(present, reported);
    EXPECT_TRUE(temporariesBelow(ejected.path()).isEmpty());
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

TEST_F(EngineTest, WorkersThatCannotBeStartedLeaveTheWorkToTheRunItself)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    QStringList files;
    for (int i = 0; i < 300; ++i) {
        files << m_source.write(QStringLiteral("t/d%1/f%2").arg(i % 7).arg(i), QByteArray::number(i));
    }
    // The address space left is too small for a new thread's stack, and the
    // stacks that exited threads left for reuse are all taken.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::vector<std::thread> holders;
    for (int i = 0; i < 12; ++i) {
        holders.emplace_back([released] { released.wait(); });
    }
    const auto freeHolders = qScopeGuard([&] {
        release.set_value();
        for (std::thread &holder : holders) {
            holder.join();
        }
    });
    rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &before), 0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    ASSERT_TRUE(statm.open(QIODevice::ReadOnly));
    const rlim_t used = rlim_t(statm.readAll().split(' ').value(0).toULongLong()) * rlim_t(::sysconf(_SC_PAGESIZE));
    rlimit tight = before;
    tight.rlim_cur = used + (6 << 20);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &tight), 0);
    const bool threadRefused = [] {
        try {
            std::thread([] {}).join();
            return false;
        } catch (const std::system_error &) {
            return true;
        }
    }();
    // The run itself, on this thread: its workers cannot start.
    const BackupScript script = scriptFor(volume.mountPath(), {m_source.path()});
    const auto direct = BackupThread::create(script, IconDescription());
    if (threadRefused) {
        BackupRun(script, *direct, RunServices::system()).execute();
    }
    // A job asked to start now has no thread for its run at all.
    const RunOutcome refused = threadRefused ? runJob(script) : RunOutcome();
    ::setrlimit(RLIMIT_AS, &before);
    if (!threadRefused) {
        GTEST_SKIP() << "a thread still started under the address-space limit";
    }
    ASSERT_TRUE(waitUntil([&] { return direct->log().size() > 1 && direct->progressTitle() == QStringLiteral("Backup Process finished"); }));
    EXPECT_EQ(direct->errorCount(), 0u) << direct->log().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(refused.finished);
    EXPECT_EQ(refused.errorLines(), QStringList{refused.errorLines().value(0)});
    EXPECT_TRUE(refused.errorLines().value(0).startsWith(QStringLiteral("Error: The backup could not start: ")));
    for (const QString &file : files) {
        EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), contentOf(file)) << file.toStdString();
    }
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
