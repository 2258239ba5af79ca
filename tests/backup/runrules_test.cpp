// The rules of a backup and a verify run, on a plain temporary folder that
// stands for the volume: what the run asks of the machine (volumes, computer
// name, eject setting, eject) is answered by FolderVolume. No root needed.
#include "runtesting.h"

#include "backup/backuprun.h"
#include "backup/backupvolume.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/runservices.h"
#include "backup/sourcescanner.h"
#include "backup/verifyrun.h"
#include "platform/filecopier.h"

#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include <linux/capability.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>

using namespace Qt::StringLiterals;

namespace {

// A temporary folder standing for the volume: a mount point while `attached`
// holds, carrying the UUID scriptFor() gives it. Ejects are recorded, never made.
class FolderVolume
{
public:
    explicit FolderVolume(const QString &at = QString())
        : m_path(at.isEmpty() ? m_dir.path() : at)
    {
        QDir().mkpath(m_path);
    }

    [[nodiscard]] QString path() const { return m_path; }
    [[nodiscard]] QString targetOf(const QString &source) const
    {
        return path() + u"/Vellory/Test Computer"_s + source;
    }
    [[nodiscard]] BackupScript script(const QStringList &sources) const { return scriptFor(path(), sources); }
    [[nodiscard]] QStringList ejects() const
    {
        std::lock_guard<std::mutex> locker(m_lock);
        return m_ejects;
    }

    [[nodiscard]] RunServices machine()
    {
        RunServices machine;
        machine.volumeCarriesUuid = [this](const QString &at, const QString &uuid) {
            return attached && at == path() && uuid == u"TEST-UUID"_s;
        };
        machine.computerName = [] { return u"Test Computer"_s; };
        machine.autoEjectOnComplete = [this] { return autoEject.load(); };
        machine.eject = [this](const QString &at, const QString &uuid) {
            std::lock_guard<std::mutex> locker(m_lock);
            m_ejects << at + u' ' + uuid;
            return QString();
        };
        machine.isMountPoint = [this](const QString &at) {
            if (mountCheck) {
                mountCheck();
            }
            return attached && !at.isEmpty() && at == path();
        };
        machine.openVolumeRoot = [](const QByteArray &at) { return platform::openDirectory(at); };
        return machine;
    }

    RunOutcome backUp(const QStringList &sources, const std::function<void(BackupThread &)> &whileRunning = {})
    {
        return run(script(sources), whileRunning);
    }
    RunOutcome run(const BackupScript &script, const std::function<void(BackupThread &)> &whileRunning = {})
    {
        JobKind kind;
        kind.work = [this, machine = machine()](BackupThread &job) {
            running = &job;
            withoutReadOverride();
            BackupRun(job.script(), job, machine).execute();
        };
        return runJob(script, whileRunning, std::move(kind));
    }
    RunOutcome verify(const QStringList &sources)
    {
        JobKind kind = VerifyRun::jobKind(u"STICK"_s, machine());
        kind.work = [this, work = kind.work](BackupThread &job) {
            running = &job;
            work(job);
        };
        return runJob(script(sources), {}, std::move(kind));
    }

    // The run's `nth` mount check cancels its job and waits until the cancel
    // is applied: the run cannot finish before it, however late it comes.
    void cancelAtCheck(int nth)
    {
        mountCheck = [this, nth, checks = std::make_shared<std::atomic<int>>(0)] {
            if (++*checks != nth) {
                return;
            }
            running.load()->cancel();
            QElapsedTimer waited;
            waited.start();
            while (running.load()->status() != BackupThreadStatusValue::cancelled && waited.elapsed() < 30000) {
                QThread::msleep(1);
            }
        };
    }

    std::atomic<bool> attached{true};
    std::atomic<bool> autoEject{false};
    // Called at every mount check, on the run's threads.
    std::function<void()> mountCheck;
    std::atomic<BackupThread *> running{nullptr};

private:
    // A file without read permission stays unreadable to the calling
    // thread (and the threads it starts) even when tests run as root.
    static void withoutReadOverride()
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) == 0) {
            data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            ::syscall(SYS_capset, &header, data);
        }
    }

    QTemporaryDir m_dir;
    QString m_path;
    mutable std::mutex m_lock;
    QStringList m_ejects;
};

// Every file below `folder` in the order a plain depth-first walk visits
// them: names in byte order, a folder's items where its name falls (a
// separator sorts before every byte a name can hold).
QList<QByteArray> plainWalk(const QString &folder)
{
    QList<QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (const QString file = it.next(); !file.endsWith(u"/.DS_Store"_s)) {
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
Scan scanAndCopy(FolderVolume &volume, const QStringList &sources, int workers = 0)
{
    const auto job = BackupThread::create(volume.script(sources), IconDescription());
    const BackupVolume target(volume.path(), volume.machine());
    RunReport report(*job);
    Scan scan;
    SourceScanner scanner(report, target, scan.plan);
    for (const QString &source : sources) {
        scanner.scan(source);
    }
    scan.itemsChecked = scanner.itemsChecked();
    if (workers > 0) {
        PlanCopier copier(report, target, scan.plan, workers);
        copier.run();
        scan.backedUp = copier.itemsBackedUp();
        scan.bytes = copier.bytesCopied();
    }
    // The first line, one per source and one per error.
    const qsizetype lines = 1 + qsizetype(sources.size()) + qsizetype(report.errorCount());
    EXPECT_TRUE(waitUntil([&] { return job->log().size() >= lines; }));
    scan.log = messagesOf(job->log());
    return scan;
}

class RunRules : public ::testing::Test
{
protected:
    FolderVolume volume;
    SourceTree source;
};

} // namespace

TEST_F(RunRules, AFirstRunCopiesTheTreeThenOnlyWhatIsMissingOrChangedRefusingWhatCannotBeCopiedAndEjectingOnlyWhenAsked)
{
    const QString a = source.write(u"docs/a.txt"_s, "alpha", 7200);
    source.write(u"docs/.hidden"_s, "hidden");
    source.write(u"docs/x/y/z/deep.bin"_s, QByteArray(300000, 'z'));
    source.write(u"docs/.DS_Store"_s, "finder");
    source.write(u"docs/sub/.DS_Store"_s, "finder");
    QDir().mkpath(source.filePath(u"docs/empty/inner"_s));
    const QByteArray rawName = QFile::encodeName(source.filePath(u"docs/"_s)) + "caf\xe9-latin1.txt";
    ::close(::open(rawName.constData(), O_WRONLY | O_CREAT, 0644));
    // Qt cannot name it to remove it, nor its copy, with their folders.
    const QByteArray rawCopy = QFile::encodeName(volume.targetOf(QString())) + rawName;
    const auto removeRaw = qScopeGuard([&] {
        ::unlink(rawName.constData());
        ::unlink(rawCopy.constData());
    });
    ASSERT_EQ(::symlink("a.txt", QFile::encodeName(source.filePath(u"docs/link"_s)).constData()), 0);
    ASSERT_EQ(::symlink("/", QFile::encodeName(source.filePath(u"docs/rootlink"_s)).constData()), 0);
    // A single file as a source beside its folder's other files, and a missing source.
    const QString single = source.write(u"notes/todo.txt"_s, "milk");
    source.write(u"notes/other.txt"_s, "not a source");
    const QString docs = source.filePath(u"docs"_s);
    const QString missing = source.filePath(u"nowhere"_s);

    const RunOutcome first = volume.backUp({missing, single, docs, u"relative/path"_s});
    // alpha + hidden + deep + raw (empty) + two links ("a.txt", "/") + milk: 300,021 bytes
    EXPECT_EQ(first.messages, (QStringList{u"Error: item not found: "_s + missing, u"Scanning %1..."_s.arg(single),
                                           u"Scanning %1..."_s.arg(docs), u"Error: item not found: relative/path"_s,
                                           u"Items checked 0, 7 to copy, requires 300.0 KB"_s,
                                           u"Backing up 7 items."_s, u"Items backed up 7, 300.0 KB. Errors 2"_s,
                                           u"Backup Process finished"_s}));
    EXPECT_EQ(first.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(first.progress, 1.0f);
    for (const char *absent : {"docs/.DS_Store", "docs/empty", "docs/sub", "notes/other.txt"}) {
        EXPECT_FALSE(QFileInfo::exists(volume.targetOf(source.filePath(QString::fromUtf8(absent))))) << absent;
    }
    // Links stay links, never followed; a name that is not UTF-8 is kept byte for byte.
    EXPECT_EQ(QFileInfo(volume.targetOf(source.filePath(u"docs/link"_s))).symLinkTarget(), volume.targetOf(a));
    EXPECT_TRUE(QFileInfo(volume.targetOf(source.filePath(u"docs/rootlink"_s))).isSymLink());
    EXPECT_EQ(::access(rawCopy.constData(), F_OK), 0);
    EXPECT_TRUE(temporariesBelow(volume.path()).isEmpty());
    EXPECT_EQ(volume.backUp({docs}).messages.value(1), u"Items checked 6, 0 to copy, requires Zero KB"_s);

    // A copy 10 s older is current, 10.5 s older is not, a newer one is
    // current; another size always copies.
    const QString within = source.write(u"s/within.txt"_s, "same");
    const QString beyond = source.write(u"s/beyond.txt"_s, "same");
    const QString newer = source.write(u"s/newer.txt"_s, "same");
    const QString resized = source.write(u"s/resized.txt"_s, "source text");
    // The user's own files, named like temporaries by accident or on purpose.
    const QStringList own{source.write(u"s/.vellory-partial-notes"_s, "notes"),
                          source.write(u"s/.vellory-partial-00000000000000aa.tmp"_s, "lookalike")};
    ASSERT_EQ(volume.backUp({source.filePath(u"s"_s)}).errors, 0u);
    // A temporary an interrupted run left, and one a running copy of another
    // job holds.
    const QString stale = volume.targetOf(source.filePath(u"s/.vellory-partial-0123456789abcdef.tmp"_s));
    QFile(stale).open(QIODevice::WriteOnly);
    QFile busy(volume.targetOf(source.filePath(u"s/.vellory-partial-feedbeef00000000.tmp"_s)));
    ASSERT_TRUE(busy.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(busy.handle(), LOCK_EX), 0);
    const double seconds = mtimeOf(within);
    SourceTree::setTime(QFile::encodeName(volume.targetOf(within)), seconds - 10.0);
    SourceTree::setTime(QFile::encodeName(volume.targetOf(beyond)), seconds - 10.5);
    SourceTree::setTime(QFile::encodeName(volume.targetOf(newer)), seconds + 3600);
    writeFile(volume.targetOf(resized), "newer but different");
    SourceTree::setTime(QFile::encodeName(volume.targetOf(resized)), seconds + 3600);
    // Special files are refused without being opened, an unreadable file
    // with its reason; the rest is copied.
    const QString fifo = source.filePath(u"s/pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString socketPath = source.filePath(u"s/sock"_s);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto closeSocket = qScopeGuard([sock] { ::close(sock); });
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const QString locked = source.write(u"s/locked.txt"_s, "secret");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    volume.autoEject = true;
    const RunOutcome changed = volume.backUp({source.filePath(u"s"_s)});
    EXPECT_EQ(changed.messages,
              (QStringList{u"Scanning %1..."_s.arg(source.filePath(u"s"_s)),
                           u"Items checked 6, 5 to copy, requires 21 bytes"_s, u"Backing up 5 items."_s,
                           u"Error: Failed to copy file %1: it could not be read (permission denied)"_s.arg(locked),
                           u"Error: Failed to copy file %1: it is a named pipe; pipes are not backed up"_s.arg(fifo),
                           u"Error: Failed to copy file %1: it is a socket; sockets are not backed up"_s.arg(socketPath),
                           u"Items backed up 2, 15 bytes. Errors 3"_s, u"Ejected volume"_s,
                           u"Backup Process finished"_s}));
    EXPECT_EQ(changed.status, BackupThreadStatusValue::completed);
    EXPECT_LT(changed.progress, 1.0f) << "failed entries do not advance the progress";
    EXPECT_EQ(volume.ejects(), QStringList{volume.path() + u" TEST-UUID"_s});
    EXPECT_EQ(contentOf(volume.targetOf(resized)), QByteArray("source text"));
    EXPECT_EQ(mtimeOf(volume.targetOf(beyond)), seconds);
    EXPECT_EQ(mtimeOf(volume.targetOf(within)), seconds - 10.0);
    EXPECT_EQ(mtimeOf(volume.targetOf(newer)), seconds + 3600);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(busy.exists());
    for (const QString &mine : own) {
        EXPECT_EQ(contentOf(volume.targetOf(mine)), contentOf(mine));
    }
    for (const auto &[name, temporary] : {std::pair{".vellory-partial-0123456789abcdef.tmp", true},
                                          {".vellory-partial-notes", false}, {".vellory-partial-0123abcd", false},
                                          {".vellory-partial-0123456789ABCDEF.tmp", false},
                                          {".vellory-partial-0123456789abcdef.tmp~", false},
                                          {".vellory-partial-0123456789abcdeg.tmp", false}}) {
        EXPECT_EQ(platform::FileCopier::isTemporaryName(name), temporary) << name;
    }

    // A source holding the volume is not backed up into itself; a volume
    // that is not the set's gets nothing and is not ejected.
    SourceTree home;
    FolderVolume inside(home.filePath(u"media/STICK"_s));
    home.write(u"home/a.txt"_s, "a");
    EXPECT_EQ(inside.backUp({home.path()}).errors, 0u);
    EXPECT_EQ(inside.backUp({home.path()}).messages.value(1), u"Items checked 1, 0 to copy, requires Zero KB"_s);
    EXPECT_FALSE(QFileInfo::exists(inside.targetOf(inside.path())));
    inside.autoEject = true;
    const QStringList before = treeOf(inside.path());
    home.write(u"home/b.txt"_s, "b");
    QDir().mkpath(home.filePath(u"empty/inner"_s)); // nothing in it to refuse
    for (const bool attached : {true, false}) {
        inside.attached = attached;
        BackupScript script = inside.script({home.filePath(u"empty"_s), home.filePath(u"home"_s)});
        script.volumeUUID = attached ? u"ANOTHER-UUID"_s : QString();
        const RunOutcome refused = inside.run(script);
        EXPECT_EQ(refused.messages.filter(QRegularExpression(u"^(?!Scanning )"_s)),
                  (QStringList{u"Error: Volume not connected"_s, u"Items checked 0, 0 to copy, requires Zero KB"_s,
                               u"Ejected volume"_s, u"Backup Process finished"_s}));
    }
    // Without a UUID to check the eject is asked for the path, and left to
    // refuse a folder that is not a mount point.
    EXPECT_EQ(inside.ejects(), QStringList{inside.path() + u' '});
    EXPECT_EQ(treeOf(inside.path()), before) << "nothing is written where the volume is not the set's";
}

TEST_F(RunRules, ThePlanFollowsThePlainWalkEverythingBelowAFolderMissingOnTheVolumeIsMissingAndADetachedVolumeGetsNothing)
{
    // Files and folders interleave in byte order (upper case first, "-" and
    // "." before letters), and one source is a single file.
    for (const char *name : {"b/a.txt", "b/B.txt", "b/m/1", "b/m/2/x", "b/m-1", "b/m.x", "b/z", "b/.h/k", "b/.DS_Store",
                             "b/m/0", "b/M/q", "a/one", "c/\xc3\xa9t\xc3\xa9", "c/e"}) {
        source.write(QString::fromUtf8(name), name);
    }
    // Enough folders, wide and deep, that the scan's workers overtake each other.
    for (int i = 0; i < 40; ++i) {
        source.write(u"b/w%1/v%2/u%3/f"_s.arg(i % 7).arg(i % 5).arg(i), QByteArray::number(i));
        source.write(u"b/w%1/g%2"_s.arg(i % 7).arg(i), "g");
    }
    const QStringList sources{source.filePath(u"b"_s), source.filePath(u"c/e"_s), source.filePath(u"a"_s)};
    auto walk = [&] { return plainWalk(sources[0]) + QList<QByteArray>{QFile::encodeName(sources[1])} + plainWalk(sources[2]); };
    // The planned sources, each with its target and reason checked.
    auto plannedOf = [&](const Scan &scan, const QByteArray &resized) {
        QList<QByteArray> planned;
        quint64 bytes = 0;
        for (std::size_t i = 0; i < scan.plan.size(); ++i) {
            const CopyFileType entry = scan.plan.describe(i, QFile::encodeName(volume.path()));
            EXPECT_EQ(QFile::decodeName(entry.target), volume.targetOf(QFile::decodeName(entry.source)));
            EXPECT_EQ(entry.reason, entry.source == resized ? CopyFileReason::sizeModified : CopyFileReason::doesNotExist)
                << entry.source.constData();
            planned << entry.source;
            bytes += quint64(QFileInfo(QFile::decodeName(entry.source)).size());
        }
        EXPECT_EQ(scan.plan.bytesToCopy(), bytes);
        EXPECT_EQ(scan.log.filter(u"Error"_s), QStringList());
        return planned;
    };
    EXPECT_EQ(plannedOf(scanAndCopy(volume, sources), QByteArray()), walk());

    // Part of the tree on the volume: a folder there with one file grown and
    // a sub-folder added since, and a file where another folder's copy belongs.
    ASSERT_EQ(volume.backUp({source.filePath(u"b/m"_s)}).errors, 0u);
    const QString resized = source.write(u"b/m/2/x"_s, "changed size");
    source.write(u"b/m/later/g"_s, "g");
    writeFile(volume.targetOf(source.filePath(u"b/w3"_s)), QByteArray());
    QList<QByteArray> expected = walk();
    expected.removeIf([&](const QByteArray &path) {
        return path.startsWith(QFile::encodeName(source.filePath(u"b/m/"_s))) && !path.endsWith("/2/x")
            && !path.endsWith("/later/g");
    });
    const Scan again = scanAndCopy(volume, sources);
    EXPECT_EQ(plannedOf(again, QFile::encodeName(resized)), expected);
    EXPECT_EQ(again.itemsChecked, 3u) << "only files whose copy exists are compared";

    // A volume detached before the scan reaches files missing on it: one
    // refusal, nothing copied.
    const QStringList before = treeOf(volume.path());
    std::atomic<int> checks{0};
    volume.mountCheck = [&] {
        if (++checks == 2) {
            volume.attached = false;
        }
    };
    const Scan detached = scanAndCopy(volume, {source.path()}, 4);
    EXPECT_EQ(detached.log.filter(u"Error"_s), QStringList{u"Error: Volume not connected"_s});
    EXPECT_EQ(detached.backedUp, 0u);
    EXPECT_EQ(treeOf(volume.path()), before);
}

TEST_F(RunRules, ManyWorkersCopyLogAndCountAsOneDoesKeepingContentTimesAndPermissions)
{
    // Sizes around the copy's block sizes, times to the nanosecond, three
    // kinds of permissions; failures spread over several folders.
    const qsizetype sizes[] = {0, 1, 4095, 4096, 65537, (1 << 20) + 3, (2 << 20) + 5};
    QStringList files;
    for (int folder = 0; folder < 6; ++folder) {
        for (int i = 0; i < 150; ++i) {
            const QString file = source.write(u"t/f%1/n%2"_s.arg(folder).arg(i, 3, 10, QLatin1Char('0')),
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
        const QString pipe = source.filePath(u"t/f%1/p%2"_s.arg(folder).arg(folder * 20));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    }
    // A folder whose files come before and after a sub-folder's in the plan.
    for (const char *name : {"t/f2/a1", "t/f2/m/x", "t/f2/m/y/z"}) {
        files << source.write(QString::fromUtf8(name), name);
    }
    source.write(u"t/f3/blocked/x"_s, "x");
    source.write(u"t/f3/blocked/y"_s, "y");
    const QString tree = source.filePath(u"t"_s);
    // Before each run: a file where a folder's copy belongs, and a folder
    // whose only item is a temporary copy an interrupted run left behind.
    auto prepareVolume = [&] {
        for (const char *path : {"t/f3/blocked", "t/f1/.vellory-partial-0123456789abcdef.tmp"}) {
            writeFile(volume.targetOf(source.filePath(QString::fromUtf8(path))), QByteArray());
        }
    };

    const mode_t umask = ::umask(022);
    prepareVolume();
    const Scan one = scanAndCopy(volume, {tree}, 1);
    ASSERT_TRUE(QDir(volume.path() + u"/Vellory"_s).removeRecursively());
    prepareVolume();
    const Scan many = scanAndCopy(volume, {tree}, 8);
    ::umask(umask);

    EXPECT_EQ(many.log, one.log);
    EXPECT_EQ(many.backedUp, one.backedUp);
    EXPECT_EQ(many.bytes, one.bytes);
    EXPECT_EQ(many.backedUp, quint64(files.size()));
    // Per pipe one line; per file below the blocked folder two, in plan order.
    const QStringList errors = many.log.filter(QRegularExpression(u"^Error: "_s));
    ASSERT_EQ(errors.size(), 10);
    const std::pair<int, QString> parts[] = {
        {0, u"/t/f0/p0: it is a named pipe"_s}, {3, u"Error: Failed to create directory "_s},
        {4, u"Failed to copy file "_s},        {4, u"/t/f3/blocked/x: "_s},
        {5, u"Error: Failed to create directory "_s}, {6, u"/t/f3/blocked/y: "_s},
        {7, u"/t/f3/p60: it is a named pipe"_s}, {9, u"/t/f5/p100: it is a named pipe"_s}};
    for (const auto &[index, part] : parts) {
        EXPECT_TRUE(errors[index].contains(part)) << errors[index].toStdString();
    }
    // Content, modification time to the nanosecond, and permission bits kept.
    for (const QString &file : files) {
        const QString copy = volume.targetOf(file);
        EXPECT_EQ(contentOf(copy), contentOf(file)) << copy.toStdString();
        struct stat a {}, b {};
        ASSERT_EQ(::lstat(QFile::encodeName(file).constData(), &a), 0);
        ASSERT_EQ(::lstat(QFile::encodeName(copy).constData(), &b), 0) << copy.toStdString();
        EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << copy.toStdString();
        EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << copy.toStdString();
        EXPECT_EQ(a.st_mode, b.st_mode) << copy.toStdString();
    }
    EXPECT_TRUE(temporariesBelow(volume.path()).isEmpty());
}

// New copies wait for their flush on descriptors of their own: more of them
// than the process may open still wait within its limit.
TEST_F(RunRules, MoreNewCopiesThanTheProcessHasDescriptorsWaitWithinItsLimit)
{
    constexpr int kFiles = 6000;
    for (int i = 0; i < kFiles; ++i) {
        source.write(u"t/d%1/f%2"_s.arg(i / 100).arg(i), "x");
    }
    rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    const rlimit tight {5200, 5200};
    if (before.rlim_max < tight.rlim_max) {
        GTEST_SKIP() << "the descriptor limit is lower already";
    }
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const Scan scan = scanAndCopy(volume, {source.filePath(u"t"_s)}, 4);
    ::setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(scan.log.filter(u"Error: "_s), QStringList());
    EXPECT_EQ(scan.backedUp, quint64(kFiles));
}

TEST_F(RunRules, ACancelStopsTheScanBeforeAnyCopyAndTheCopyWithOnlyWholeCopiesAndStillEjects)
{
    volume.autoEject = true;
    QStringList files;
    for (int i = 0; i < 4000; ++i) {
        files << source.write(u"c/d%1/e%2/f%3"_s.arg(i / 100).arg(i % 9).arg(i), QByteArray(i % 3000, char('0' + i % 10)));
    }
    // Cancelled at the scan's first look at the volume.
    volume.cancelAtCheck(2);
    const QStringList sources{source.filePath(u"c"_s), source.path(), source.path()};
    const RunOutcome scan = volume.backUp(sources);
    EXPECT_EQ(scan.status, BackupThreadStatusValue::cancelled);
    ASSERT_GE(scan.messages.size(), 4);
    const QRegularExpressionMatch planned = QRegularExpression(u"^Items checked 0, ([0-9,]+) to copy, requires .*$"_s)
                                                .match(scan.messages.at(scan.messages.size() - 4));
    ASSERT_TRUE(planned.hasMatch()) << scan.messages.join(u'\n').toStdString();
    EXPECT_LT(planned.captured(1).remove(u',').toInt(), 3 * files.size()) << "the scan stopped early";
    const QStringList cancelledEnd{u"The backup was cancelled before it finished."_s, u"Ejected volume"_s,
                                   u"Backup Process finished"_s};
    EXPECT_EQ(scan.messages.mid(scan.messages.size() - 3), cancelledEnd);
    EXPECT_EQ(volume.ejects().size(), 1) << "the eject still happens after a cancel";
    EXPECT_FALSE(QFileInfo::exists(volume.path() + u"/Vellory"_s)) << "nothing is copied";

    // Well into the copy, while every worker is busy ahead of the reports.
    volume.mountCheck = nullptr;
    const RunOutcome copy = volume.backUp({source.path()}, [](BackupThread &job) {
        if (job.status() == BackupThreadStatusValue::backingUp && job.progressValue() > 0.05f) {
            job.cancel();
        }
    });
    EXPECT_EQ(copy.status, BackupThreadStatusValue::cancelled);
    EXPECT_EQ(copy.messages.mid(copy.messages.size() - 3), cancelledEnd);
    // The count in the "Items backed up" line, grouped as the locale does ("1,021").
    const QRegularExpressionMatch summary = QRegularExpression(u"^Items backed up ([0-9,]+), .*\\. Errors 0$"_s)
                                                .match(copy.messages.value(copy.messages.size() - 4));
    const int reported = summary.hasMatch() ? summary.captured(1).remove(u',').toInt() : -1;
    ASSERT_GT(reported, 0) << copy.messages.join(u'\n').toStdString();
    EXPECT_LT(reported, files.size());
    // Exactly the reported copies are there (none made after the cancel
    // goes uncounted), and none is partial.
    int present = 0;
    for (const QString &file : files) {
        if (QFileInfo::exists(volume.targetOf(file))) {
            ++present;
            EXPECT_EQ(contentOf(volume.targetOf(file)), contentOf(file)) << file.toStdString();
        }
    }
    EXPECT_EQ(present, reported);
    EXPECT_TRUE(temporariesBelow(volume.path()).isEmpty());
}

TEST_F(RunRules, AVerifyFindsACopyChangedBehindTheRunsBackMendsItCountsWhatIsDueAndStopsAtACancel)
{
    const QString folder = source.filePath(u"v"_s);
    source.write(u"v/same.txt"_s, "same");
    const QString changed = source.write(u"v/changed.txt"_s, "original");
    const QString due = source.write(u"v/due.txt"_s, "old");
    ASSERT_EQ(volume.backUp({folder}).errors, 0u);
    // A copy changed with its size and time kept, and a file changed since the backup.
    const double time = mtimeOf(volume.targetOf(changed));
    writeFile(volume.targetOf(changed), "ORIGINAL");
    SourceTree::setTime(QFile::encodeName(volume.targetOf(changed)), time);
    source.write(u"v/due.txt"_s, "new", 0);

    const RunOutcome first = volume.verify({folder});
    EXPECT_EQ(first.messages, (QStringList{u"Scanning %1..."_s.arg(folder),
                                           u"Items checked 3, 2 to verify (12 bytes), 1 due for backup"_s,
                                           u"Verifying 2 copies."_s,
                                           u"Error: The copy of %1 differs from the file"_s.arg(changed),
                                           u"Recopying 1 copies that differ."_s, u"Recopied 1 of 1 copies."_s,
                                           u"Items verified 2, 12 bytes. Errors 1. Due for backup 1"_s,
                                           u"Verify Process finished"_s}));
    EXPECT_EQ(first.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(contentOf(volume.targetOf(changed)), QByteArray("original"));
    EXPECT_EQ(contentOf(volume.targetOf(due)), QByteArray("old")) << "a verify copies nothing due";
    volume.cancelAtCheck(1);
    const RunOutcome cancelled = volume.verify({folder});
    EXPECT_EQ(cancelled.status, BackupThreadStatusValue::cancelled);
    EXPECT_EQ(cancelled.messages.mid(2),
              (QStringList{u"The verify was cancelled before it finished."_s, u"Verify Process finished"_s}));
}

TEST_F(RunRules, WorkersThatCannotBeStartedLeaveTheWorkToTheRunItself)
{
    QStringList files;
    for (int i = 0; i < 300; ++i) {
        files << source.write(u"t/d%1/f%2"_s.arg(i % 7).arg(i), QByteArray::number(i));
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
    QFile statm(u"/proc/self/statm"_s);
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
    const BackupScript script = volume.script({source.path()});
    const auto direct = BackupThread::create(script, IconDescription());
    if (threadRefused) {
        BackupRun(script, *direct, volume.machine()).execute();
    }
    // A job asked to start now has no thread for its run at all.
    const RunOutcome refused = threadRefused ? volume.run(script) : RunOutcome();
    ::setrlimit(RLIMIT_AS, &before);
    if (!threadRefused) {
        GTEST_SKIP() << "a thread still started under the address-space limit";
    }
    ASSERT_TRUE(waitUntil([&] { return direct->log().size() > 1 && direct->progressTitle() == u"Backup Process finished"_s; }));
    EXPECT_EQ(direct->errorCount(), 0u) << direct->log().join(u'\n').toStdString();
    EXPECT_EQ(refused.errorLines(), QStringList{refused.errorLines().value(0)});
    EXPECT_TRUE(refused.errorLines().value(0).startsWith(u"Error: The backup could not start: "_s));
    for (const QString &file : files) {
        EXPECT_EQ(contentOf(volume.targetOf(file)), contentOf(file)) << file.toStdString();
    }
}
