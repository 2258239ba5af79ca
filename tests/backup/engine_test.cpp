// The scan and the copy phase on their own, on real ext4 volumes: what the
// faster paths (per-folder handles, skipping missing folders, several copy
// workers) must not change.
#include "runtesting.h"

#include "backup/backuprun.h"
#include "backup/backupvolume.h"
#include "backup/displayformat.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/sourcescanner.h"
#include "platform/filecopier.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QScopeGuard>
#include <QThreadPool>

#include <algorithm>
#include <future>
#include <sys/resource.h>
#include <system_error>
#include <thread>

namespace {

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override { setAutoEject(false); }
    void TearDown() override { platform::preferences()->remove(QStringLiteral("autoEjectOnComplete")); }

    SourceTree m_source;
};

// Every file below `folder` in the order a plain depth-first walk visits
// them: names in byte order, a folder's items where its name falls.
void plainWalk(const QByteArray &folder, QList<QByteArray> &files)
{
    DIR *dir = ::opendir(folder.constData());
    ASSERT_NE(dir, nullptr) << folder.constData();
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != ".." && name != ".DS_Store") {
            names << name;
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end()); // QByteArray compares bytes
    for (const QByteArray &name : names) {
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        ASSERT_EQ(::lstat(path.constData(), &info), 0);
        if (S_ISDIR(info.st_mode)) {
            plainWalk(path, files);
        } else {
            files << path;
        }
    }
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
    return scanAndCopy(BackupVolume(volumePath, platform::computerName()), sources, workers);
}

void makeFifo(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
}

// Content, modification time to the nanosecond, and permission bits equal.
void expectSameFile(const QString &source, const QString &copy)
{
    EXPECT_EQ(contentOf(copy), contentOf(source)) << copy.toStdString();
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::lstat(QFile::encodeName(source).constData(), &a), 0);
    ASSERT_EQ(::lstat(QFile::encodeName(copy).constData(), &b), 0) << copy.toStdString();
    EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << copy.toStdString();
    EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << copy.toStdString();
    EXPECT_EQ(a.st_mode, b.st_mode) << copy.toStdString();
}

} // namespace

// ---- The scan -------------------------------------------------------------

TEST_F(EngineTest, AFolderMissingOnTheVolumePlansEverythingBelowItAsMissing)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    const QString same = m_source.write(QStringLiteral("keep/same.txt"), "same");
    const QString grown = m_source.write(QStringLiteral("keep/grown.txt"), "grown");
    m_source.write(QStringLiteral("gone/c.txt"), "c");
    m_source.write(QStringLiteral("gone/deep/er/d.txt"), "d");
    m_source.write(QStringLiteral("gone/deep/e.txt"), "e");
    m_source.write(QStringLiteral("blocked/inner/f.txt"), "f");
    m_source.write(QStringLiteral("keep/later/g.txt"), "g");
    const QString source = m_source.path();
    ASSERT_EQ(runJob(scriptFor(mount, {same, grown})).errors, 0u);
    m_source.write(QStringLiteral("keep/grown.txt"), "grown more");
    // A file on the volume where a folder's copy belongs.
    QDir().mkpath(QFileInfo(targetOf(mount, m_source.filePath(QStringLiteral("blocked")))).path());
    QFile inTheWay(targetOf(mount, m_source.filePath(QStringLiteral("blocked"))));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();

    const Scan scan = scanAndCopy(mount, {source});
    EXPECT_EQ(scan.log, QStringList{QStringLiteral("Scanning %1...").arg(source)});
    EXPECT_EQ(scan.itemsChecked, 2u) << "only files whose copy exists are compared";
    QStringList planned;
    for (std::size_t i = 0; i < scan.plan.size(); ++i) {
        const CopyFileType entry = scan.plan.describe(i, QFile::encodeName(mount));
        const QString relative = QFile::decodeName(entry.source).mid(source.size() + 1);
        EXPECT_EQ(QFile::decodeName(entry.target), targetOf(mount, QFile::decodeName(entry.source)));
        planned << relative + QLatin1Char(' ')
                + (entry.reason == CopyFileReason::doesNotExist ? QStringLiteral("missing")
                   : entry.reason == CopyFileReason::sizeModified ? QStringLiteral("size")
                                                                   : QStringLiteral("other"));
    }
    EXPECT_EQ(planned, (QStringList{QStringLiteral("blocked/inner/f.txt missing"), QStringLiteral("gone/c.txt missing"),
                                    QStringLiteral("gone/deep/e.txt missing"), QStringLiteral("gone/deep/er/d.txt missing"),
                                    QStringLiteral("keep/grown.txt size"), QStringLiteral("keep/later/g.txt missing")}));
    EXPECT_EQ(scan.plan.bytesToCopy(), 15u);
}

TEST_F(EngineTest, AVolumeDetachedBeforeTheScanReachesFilesMissingOnItIsRefusedOnceAndNothingIsCopied)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    const QString kept = m_source.write(QStringLiteral("a/kept.txt"), "kept");
    ASSERT_EQ(runJob(scriptFor(mount, {kept})).errors, 0u);
    for (const char *name : {"a/new.txt", "b/one.txt", "b/c/two.txt", "d/three.txt"}) {
        m_source.write(QString::fromUtf8(name), name);
    }
    // The run holds the volume open; it goes before the scan begins.
    BackupVolume held(mount, platform::computerName());
    ASSERT_TRUE(held.isOpen());
    ASSERT_EQ(QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount}), 0);
    const Scan scan = scanAndCopy(held, {m_source.path()}, 4);
    EXPECT_EQ(scan.log.filter(QStringLiteral("Error")), QStringList{QStringLiteral("Error: Volume not connected")});
    EXPECT_EQ(scan.backedUp, 0u);
    held.close(); // the detached file system goes with the last hold on it
    QTemporaryDir again;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("ro"), volume.device(), again.path()}), 0);
    const QStringList onVolume = treeOf(targetOf(again.path(), m_source.path()));
    QProcess::execute(QStringLiteral("umount"), {again.path()});
    EXPECT_EQ(onVolume, (QStringList{QStringLiteral("a"), QStringLiteral("a/kept.txt")}));
}

TEST_F(EngineTest, ThePlanFollowsThePlainWalkAcrossFoldersAndSources)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
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
    QList<QByteArray> expected;
    plainWalk(QFile::encodeName(sources[0]), expected);
    expected << QFile::encodeName(sources[1]);
    plainWalk(QFile::encodeName(sources[2]), expected);

    const Scan first = scanAndCopy(volume.mountPath(), sources);
    QList<QByteArray> planned;
    for (std::size_t i = 0; i < first.plan.size(); ++i) {
        planned << first.plan.describe(i, QByteArray()).source;
    }
    EXPECT_EQ(planned, expected);

    // The same order once part of the tree is on the volume.
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {m_source.filePath(QStringLiteral("b/m"))})).errors, 0u);
    m_source.write(QStringLiteral("b/m/2/x"), "changed size");
    const Scan again = scanAndCopy(volume.mountPath(), sources);
    expected.removeIf([&](const QByteArray &path) {
        return path.startsWith(QFile::encodeName(m_source.filePath(QStringLiteral("b/m/")))) && !path.endsWith("/2/x");
    });
    planned.clear();
    for (std::size_t i = 0; i < again.plan.size(); ++i) {
        planned << again.plan.describe(i, QByteArray()).source;
    }
    EXPECT_EQ(planned, expected);
    EXPECT_EQ(again.itemsChecked, 3u);
}

// ---- The copy phase -------------------------------------------------------

TEST_F(EngineTest, ManyWorkersLogAndCountExactlyAsOneDoes)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    // Failures spread over several folders and stretches: pipes and a
    // folder whose place on the volume is taken by a file.
    for (int folder = 0; folder < 6; ++folder) {
        for (int i = 0; i < 150; ++i) {
            m_source.write(QStringLiteral("t/f%1/n%2").arg(folder).arg(i, 3, 10, QLatin1Char('0')),
                           QByteArray(i * 7 + folder, char('a' + folder)));
        }
        makeFifo(m_source.filePath(QStringLiteral("t/f%1/p%2").arg(folder).arg(folder * 20)));
    }
    m_source.write(QStringLiteral("t/f3/blocked/x"), "x");
    m_source.write(QStringLiteral("t/f3/blocked/y"), "y");
    const QString source = m_source.filePath(QStringLiteral("t"));
    auto blockFolder = [&] {
        const QString blocked = targetOf(mount, m_source.filePath(QStringLiteral("t/f3/blocked")));
        QDir().mkpath(QFileInfo(blocked).path());
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };

    blockFolder();
    const Scan one = scanAndCopy(mount, {source}, 1);
    ASSERT_TRUE(QDir(mount + QStringLiteral("/Vellory")).removeRecursively());
    blockFolder();
    const Scan many = scanAndCopy(mount, {source}, 6);

    EXPECT_EQ(many.log, one.log);
    EXPECT_EQ(many.backedUp, one.backedUp);
    EXPECT_EQ(many.bytes, one.bytes);
    EXPECT_EQ(many.backedUp, 900u);
    // Per pipe one line; per file below the blocked folder two, in plan order.
    const QStringList errors = many.log.filter(QRegularExpression(QStringLiteral("^Error: ")));
    ASSERT_EQ(errors.size(), 10);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("/t/f0/p0: it is a named pipe")));
    EXPECT_TRUE(errors[3].startsWith(QStringLiteral("Error: Failed to create directory ")));
    EXPECT_TRUE(errors[4].contains(QStringLiteral("Failed to copy file ")) && errors[4].contains(QStringLiteral("/t/f3/blocked/x: ")))
        << errors[4].toStdString();
    EXPECT_TRUE(errors[5].startsWith(QStringLiteral("Error: Failed to create directory ")));
    EXPECT_TRUE(errors[6].contains(QStringLiteral("/t/f3/blocked/y: ")));
    EXPECT_TRUE(errors[7].contains(QStringLiteral("/t/f3/p60: it is a named pipe")));
    EXPECT_TRUE(errors[9].contains(QStringLiteral("/t/f5/p100: it is a named pipe")));
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST_F(EngineTest, AFolderIsMadeOnceForAllItsWorkersAndStaleTemporariesGoFirst)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    // One folder large enough for several stretches, and one whose files
    // come before and after a sub-folder's in the plan.
    QStringList files;
    for (int i = 0; i < 400; ++i) {
        files << m_source.write(QStringLiteral("big/f%1").arg(i, 3, 10, QLatin1Char('0')), QByteArray::number(i * 31),
                                100 + i);
    }
    files << m_source.write(QStringLiteral("split/a1"), "a1") << m_source.write(QStringLiteral("split/b/x"), "bx")
          << m_source.write(QStringLiteral("split/b/y/z"), "byz") << m_source.write(QStringLiteral("split/c2"), "c2");
    // The large folder exists on the volume with a temporary file an
    // interrupted run left behind, and nothing else.
    const QString bigCopy = targetOf(mount, m_source.filePath(QStringLiteral("big")));
    ASSERT_TRUE(QDir().mkpath(bigCopy));
    QFile stale(bigCopy + QStringLiteral("/.vellory-partial-0123456789abcdef.tmp"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("half");
    stale.close();

    const Scan copy = scanAndCopy(mount, {m_source.path()}, 8);
    EXPECT_EQ(copy.log.filter(QStringLiteral("Error")), QStringList());
    EXPECT_EQ(copy.backedUp, quint64(files.size()));
    for (const QString &file : files) {
        expectSameFile(file, targetOf(mount, file));
    }
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST_F(EngineTest, RunsKeepContentTimesAndPermissionsAndCopyOnlyWhatChanged)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    QStringList files;
    const int sizes[] = {0, 1, 4095, 4096, 65537, (1 << 20) + 3, (2 << 20) + 5};
    for (int i = 0; i < 140; ++i) {
        QByteArray content(sizes[i % 7], Qt::Uninitialized);
        for (qsizetype b = 0; b < content.size(); ++b) {
            content[b] = char((b * 131 + i) & 0xff);
        }
        const QString file = m_source.write(QStringLiteral("d%1/e%2/f%3").arg(i % 5).arg(i % 3).arg(i), content, 500 + i);
        SourceTree::setTime(QFile::encodeName(file), 1700000000.0 + i + 0.123456789);
        // The last bits are ones the umask below takes away at creation.
        const QFileDevice::Permissions modes[] = {
            QFileDevice::ReadOwner | QFileDevice::WriteOwner,
            QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::ExeOwner,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther};
        QFile::setPermissions(file, modes[i % 3]);
        files << file;
    }
    const mode_t umask = ::umask(022);
    const RunOutcome first = runJob(scriptFor(mount, {m_source.path()}));
    ::umask(umask);
    EXPECT_EQ(first.errors, 0u);
    EXPECT_EQ(first.progress, 1.0f);
    ASSERT_EQ(first.messages.size(), 5);
    EXPECT_TRUE(first.messages.at(3).startsWith(QStringLiteral("Items backed up 140, "))) << first.messages.at(3).toStdString();
    for (const QString &file : files) {
        expectSameFile(file, targetOf(mount, file));
    }

    // One newer, one of another size, one older than its copy (kept).
    SourceTree::setTime(QFile::encodeName(files[10]), 1800000000.5);
    m_source.write(files[11].mid(m_source.path().size() + 1), "resized");
    SourceTree::setTime(QFile::encodeName(files[11]), 1700000011.0);
    SourceTree::setTime(QFile::encodeName(files[12]), 1600000000.0);
    const RunOutcome second = runJob(scriptFor(mount, {m_source.path()}));
    EXPECT_EQ(second.messages.at(1), QStringLiteral("Items checked 140, 2 to copy, requires %1")
                                         .arg(displayformat::byteCount(quint64(QFileInfo(files[10]).size() + 7))));
    EXPECT_EQ(second.errors, 0u);
    expectSameFile(files[10], targetOf(mount, files[10]));
    expectSameFile(files[11], targetOf(mount, files[11]));
    EXPECT_NE(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, files[12]))).tv_sec, 1600000000);
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST_F(EngineTest, ACancelDuringAParallelCopyLeavesOnlyWholeCopies)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 128);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    QStringList files;
    for (int i = 0; i < 6000; ++i) {
        files << m_source.write(QStringLiteral("c/d%1/f%2").arg(i / 100).arg(i), QByteArray(i % 3000, char('0' + i % 10)));
    }
    // Well into the copy, while every worker is busy ahead of the reports.
    const RunOutcome outcome = runJob(scriptFor(mount, {m_source.path()}), [](BackupThread &job) {
        if (job.status() == BackupThreadStatusValue::backingUp && job.progressValue() > 0.1f) {
            job.cancel();
        }
    });
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::cancelled);
    ASSERT_GE(outcome.messages.size(), 3);
    const QRegularExpression summary(QStringLiteral("^Items backed up ([0-9,]+), .*\\. Errors 0$"));
    const QRegularExpressionMatch match = summary.match(outcome.messages.at(outcome.messages.size() - 2));
    ASSERT_TRUE(match.hasMatch()) << outcome.messages.join(QLatin1Char('\n')).toStdString();
    const int reported = match.captured(1).remove(QLatin1Char(',')).toInt();
    EXPECT_GT(reported, 0);
    EXPECT_LT(reported, files.size());
    int present = 0;
    for (const QString &file : files) {
        if (QFileInfo::exists(targetOf(mount, file))) {
            ++present;
            EXPECT_EQ(contentOf(targetOf(mount, file)), contentOf(file)) << file.toStdString();
        }
    }
    // Exactly the reported copies are there (none made after the cancel
    // goes uncounted), and none is partial.
    EXPECT_EQ(present, reported);
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
}

TEST_F(EngineTest, ACancelDuringTheScanEndsItWithoutCopyingAnything)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    constexpr int kFiles = 6000;
    for (int i = 0; i < kFiles; ++i) {
        m_source.write(QStringLiteral("s/d%1/e%2/f%3").arg(i % 40).arg(i % 9).arg(i), "x");
    }
    // The second source holds the first again: 12,000 files in all.
    const QStringList sources{m_source.filePath(QStringLiteral("s")), m_source.path(), m_source.path()};
    const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), sources), [](BackupThread &job) {
        job.cancel(); // at the first line the run logs
    });
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::cancelled);
    ASSERT_GE(outcome.messages.size(), 3);
    EXPECT_EQ(outcome.messages[0], QStringLiteral("Scanning %1...").arg(sources[0]));
    for (qsizetype i = 1; i + 2 < outcome.messages.size(); ++i) {
        EXPECT_TRUE(outcome.messages[i].startsWith(QStringLiteral("Scanning "))) << outcome.messages[i].toStdString();
    }
    const QRegularExpression summary(QStringLiteral("^Items checked 0, ([0-9,]+) to copy, requires .*$"));
    const QRegularExpressionMatch match = summary.match(outcome.messages.at(outcome.messages.size() - 2));
    ASSERT_TRUE(match.hasMatch()) << outcome.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(match.captured(1).remove(QLatin1Char(',')).toInt(), 3 * kFiles) << "the scan stopped early";
    EXPECT_EQ(outcome.messages.last(), QStringLiteral("Backup Process finished"));
    EXPECT_FALSE(QFileInfo::exists(volume.mountPath() + QStringLiteral("/Vellory"))) << "nothing is copied";
}

// ---- Failures inside the run ---------------------------------------------

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
        BackupRun(script, *direct).execute();
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
    EXPECT_EQ(refused.errors, 1u);
    ASSERT_EQ(refused.errorLines().size(), 1);
    EXPECT_TRUE(refused.errorLines().constFirst().startsWith(QStringLiteral("Error: The backup could not start: ")));
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
