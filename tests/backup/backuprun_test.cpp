#include "runtesting.h"

#include "platform/filecopier.h"
#include "platform/mountpoint.h"

#include <QScopeGuard>

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>

using namespace Qt::StringLiterals;

namespace {

class BackupRunTest : public RunTest
{
protected:
    // Runs `sources` onto `volume` and returns the outcome.
    RunOutcome backUp(const QString &volume, const QStringList &sources)
    {
        QStringList paths;
        for (const QString &source : sources) {
            paths << (source.startsWith(u'/') ? source : m_source.filePath(source));
        }
        return runJob(scriptFor(volume, paths));
    }
};

} // namespace

// ---- Without a reachable volume (no root needed) -------------------------

TEST_F(BackupRunTest, WithoutTheVolumeEachSourceWithFilesIsRefusedOnceAndNothingIsWritten)
{
    m_source.write(u"a/one.txt"_s, "1");
    m_source.write(u"b/two.txt"_s, "2");
    m_source.write(u"b/deeper/three.txt"_s, "3");
    QDir().mkpath(m_source.filePath(u"c/empty"_s));
    QTemporaryDir leftover; // where a volume used to be mounted
    const QStringList sources = {m_source.filePath(u"a"_s), m_source.filePath(u"c"_s), m_source.filePath(u"b"_s)};
    const QStringList refused = {u"Scanning %1..."_s.arg(sources[0]), u"Error: Volume not connected"_s,
                                 u"Scanning %1..."_s.arg(sources[1]), u"Scanning %1..."_s.arg(sources[2]),
                                 u"Error: Volume not connected"_s, u"Items checked 0, 0 to copy, requires Zero KB"_s,
                                 u"Backup Process finished"_s};
    // No path; a leftover folder under a UUID nothing carries; and a set
    // without a UUID, where only the mount-point check can refuse the folder.
    for (const auto &[path, uuid] : {std::pair{QString(), u"TEST-UUID"_s}, std::pair{leftover.path(), u"TEST-UUID"_s},
                                     std::pair{leftover.path(), QString()}}) {
        SCOPED_TRACE(path.toStdString() + " " + uuid.toStdString());
        BackupScript script = scriptFor(path, sources);
        script.volumeUUID = uuid;
        const RunOutcome outcome = runJob(script);
        EXPECT_EQ(outcome.messages, refused);
        EXPECT_EQ(outcome.errors, 2u);
        EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
        EXPECT_TRUE(treeOf(leftover.path()).isEmpty()) << "nothing may land on the computer's own disk";
    }
    EXPECT_EQ(runJob(scriptFor(QString(), {})).messages,
              (QStringList{u"Items checked 0, 0 to copy, requires Zero KB"_s, u"Backup Process finished"_s}));

    // Missing sources are counted, and the eject is logged when it is on.
    setAutoEject(true);
    const QString missing = m_source.filePath(u"gone"_s);
    const RunOutcome outcome = runJob(scriptFor(leftover.path(), {missing, u"relative/path"_s}));
    EXPECT_EQ(outcome.messages, (QStringList{u"Error: item not found: "_s + missing, u"Error: item not found: relative/path"_s,
                                             u"Items checked 0, 0 to copy, requires Zero KB"_s, u"Ejected volume"_s,
                                             u"Backup Process finished"_s}));
    EXPECT_EQ(outcome.errors, 2u);
    EXPECT_TRUE(QFileInfo(leftover.path()).isDir()) << "a plain folder is never unmounted or removed";
}

// ---- ext4 through the kernel ---------------------------------------------

TEST_F(BackupRunTest, Ext4FirstRunCopiesTheTreeLaterRunsOnlyWhatIsMissingOrChangedSpecialFilesAndAFullVolumeAreRefusedAndASourceHoldingTheVolumeIsSkipped)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    const QString mount = volume.mountPath();
    const QString a = m_source.write(u"docs/a.txt"_s, "alpha", 7200);
    const QString hidden = m_source.write(u"docs/.hidden"_s, "hidden");
    const QString deep = m_source.write(u"docs/x/y/z/deep.bin"_s, QByteArray(300000, 'z'));
    m_source.write(u"docs/.DS_Store"_s, "finder");
    m_source.write(u"docs/sub/.DS_Store"_s, "finder");
    QDir().mkpath(m_source.filePath(u"docs/empty/inner"_s));
    const QByteArray rawName = QFile::encodeName(m_source.filePath(u"docs/"_s)) + "caf\xe9-latin1.txt";
    ::close(::open(rawName.constData(), O_WRONLY | O_CREAT, 0644));
    // Qt cannot name it to remove it with the source folder.
    const auto removeRaw = qScopeGuard([&rawName] { ::unlink(rawName.constData()); });
    ASSERT_EQ(::symlink("a.txt", QFile::encodeName(m_source.filePath(u"docs/link"_s)).constData()), 0);
    ASSERT_EQ(::symlink("/", QFile::encodeName(m_source.filePath(u"docs/rootlink"_s)).constData()), 0);
    // A single file as a source beside its folder's other files, and a missing source.
    const QString single = m_source.write(u"notes/todo.txt"_s, "milk");
    m_source.write(u"notes/other.txt"_s, "not a source");
    const QString docs = m_source.filePath(u"docs"_s);
    const QString missing = m_source.filePath(u"nowhere"_s);

    const RunOutcome first = backUp(mount, {missing, single, docs});
    // alpha + hidden + deep + raw (empty) + two links ("a.txt", "/") + milk: 300,021 bytes
    EXPECT_EQ(first.messages, (QStringList{u"Error: item not found: "_s + missing, u"Scanning %1..."_s.arg(single),
                                           u"Scanning %1..."_s.arg(docs), u"Items checked 0, 7 to copy, requires 300.0 KB"_s,
                                           u"Backing up 7 items."_s, u"Items backed up 7, 300.0 KB. Errors 1"_s,
                                           u"Backup Process finished"_s}));
    EXPECT_EQ(first.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(first.errors, 1u);
    EXPECT_EQ(first.progress, 1.0f);
    EXPECT_EQ(contentOf(targetOf(mount, hidden)), QByteArray("hidden"));
    EXPECT_EQ(contentOf(targetOf(mount, deep)), QByteArray(300000, 'z'));
    EXPECT_EQ(contentOf(targetOf(mount, single)), QByteArray("milk"));
    for (const char *absent : {"docs/.DS_Store", "docs/empty", "docs/sub", "notes/other.txt"}) {
        EXPECT_FALSE(QFileInfo::exists(targetOf(mount, m_source.filePath(QString::fromUtf8(absent))))) << absent;
    }
    // Links stay links, never followed; a name that is not UTF-8 is kept byte for byte.
    EXPECT_EQ(QFileInfo(targetOf(mount, m_source.filePath(u"docs/link"_s))).symLinkTarget(), targetOf(mount, a));
    EXPECT_TRUE(QFileInfo(targetOf(mount, m_source.filePath(u"docs/rootlink"_s))).isSymLink());
    struct stat info {};
    EXPECT_EQ(::lstat((QFile::encodeName(targetOf(mount, QString())) + rawName).constData(), &info), 0);
    EXPECT_TRUE(temporariesBelow(mount).isEmpty());
    EXPECT_EQ(backUp(mount, {docs}).messages.value(1), u"Items checked 6, 0 to copy, requires Zero KB"_s);

    // A copy 10 s older is current, 10.5 s older is not, a newer one is
    // current; another size always copies.
    const QString within = m_source.write(u"s/within.txt"_s, "same");
    const QString beyond = m_source.write(u"s/beyond.txt"_s, "same");
    const QString newer = m_source.write(u"s/newer.txt"_s, "same");
    const QString resized = m_source.write(u"s/resized.txt"_s, "source text");
    // The user's own files, named like temporaries by accident or on purpose.
    const QStringList own{m_source.write(u"s/.vellory-partial-notes"_s, "notes"),
                          m_source.write(u"s/.vellory-partial-00000000000000aa.tmp"_s, "lookalike")};
    ASSERT_EQ(backUp(mount, {u"s"_s}).errors, 0u);
    // A temporary an interrupted run left, and one a running copy of another
    // job holds.
    const QString stale = targetOf(mount, m_source.filePath(u"s/.vellory-partial-0123456789abcdef.tmp"_s));
    QFile(stale).open(QIODevice::WriteOnly);
    QFile busy(targetOf(mount, m_source.filePath(u"s/.vellory-partial-feedbeef00000000.tmp"_s)));
    ASSERT_TRUE(busy.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(busy.handle(), LOCK_EX), 0);
    const timespec sourceTime = SourceTree::modificationTime(QFile::encodeName(within));
    const double seconds = double(sourceTime.tv_sec) + double(sourceTime.tv_nsec) / 1e9;
    SourceTree::setTime(QFile::encodeName(targetOf(mount, within)), seconds - 10.0);
    SourceTree::setTime(QFile::encodeName(targetOf(mount, beyond)), seconds - 10.5);
    SourceTree::setTime(QFile::encodeName(targetOf(mount, newer)), seconds + 3600);
    QFile copy(targetOf(mount, resized));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
    copy.write("newer but different");
    copy.close();
    SourceTree::setTime(QFile::encodeName(targetOf(mount, resized)), seconds + 3600);
    const RunOutcome changed = backUp(mount, {u"s"_s});
    EXPECT_EQ(changed.messages.value(1), u"Items checked 6, 2 to copy, requires 15 bytes"_s);
    EXPECT_EQ(contentOf(targetOf(mount, resized)), QByteArray("source text"));
    EXPECT_EQ(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, beyond))).tv_sec, sourceTime.tv_sec);
    EXPECT_NEAR(double(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, within))).tv_sec), seconds - 10.0, 1.0);
    EXPECT_EQ(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, newer))).tv_sec, sourceTime.tv_sec + 3600);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(busy.exists());
    for (const QString &mine : own) {
        EXPECT_EQ(contentOf(targetOf(mount, mine)), contentOf(mine));
    }
    for (const auto &[name, temporary] : {std::pair{".vellory-partial-0123456789abcdef.tmp", true},
                                          {".vellory-partial-notes", false}, {".vellory-partial-0123abcd", false},
                                          {".vellory-partial-0123456789ABCDEF.tmp", false},
                                          {".vellory-partial-0123456789abcdef.tmp~", false},
                                          {".vellory-partial-0123456789abcdeg.tmp", false}}) {
        EXPECT_EQ(platform::FileCopier::isTemporaryName(name), temporary) << name;
    }

    // Special files are refused without being opened, and a full volume
    // keeps the old copy.
    const QString file = m_source.write(u"special/grows.bin"_s, QByteArray(100000, 'o'));
    const QString fifo = m_source.filePath(u"special/pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString socketPath = m_source.filePath(u"special/sock"_s);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const RunOutcome special = backUp(mount, {u"special"_s});
    ::close(sock);
    EXPECT_EQ(special.errorLines(),
              (QStringList{u"Error: Failed to copy file %1: it is a named pipe; pipes are not backed up"_s.arg(fifo),
                           u"Error: Failed to copy file %1: it is a socket; sockets are not backed up"_s.arg(socketPath)}));
    EXPECT_EQ(special.errors, 2u);
    EXPECT_EQ(special.messages.value(special.messages.size() - 2), u"Items backed up 1, 100.0 KB. Errors 2"_s);
    EXPECT_EQ(special.status, BackupThreadStatusValue::completed);
    EXPECT_LT(special.progress, 1.0f) << "failed entries do not advance the progress";
    ::unlink(QFile::encodeName(fifo).constData());
    ::unlink(QFile::encodeName(socketPath).constData());

    // Fill the volume, then make the source larger than what is left.
    QFile filler(mount + u"/filler"_s);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1 << 20, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    m_source.write(u"special/grows.bin"_s, QByteArray(3 << 20, 'n'), 0);
    const RunOutcome full = backUp(mount, {u"special"_s});
    EXPECT_EQ(full.errorLines(),
              QStringList{u"Error: Failed to copy file %1: there is not enough space left on the volume"_s.arg(file)});
    EXPECT_EQ(contentOf(targetOf(mount, file)), QByteArray(100000, 'o')) << "old copy intact";
    EXPECT_TRUE(temporariesBelow(targetOf(mount, m_source.filePath(u"special"_s))).isEmpty());
    ASSERT_TRUE(filler.remove());

    // A source holding the volume is not backed up into itself, and only the
    // mount point is ejected.
    SourceTree home;
    const QString inside = home.filePath(u"media/STICK"_s);
    busy.close();
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(volume.mount(inside));
    home.write(u"home/a.txt"_s, "a");
    EXPECT_EQ(backUp(inside, {home.path()}).errors, 0u);
    EXPECT_EQ(backUp(inside, {home.path()}).messages.value(1), u"Items checked 1, 0 to copy, requires Zero KB"_s);
    EXPECT_FALSE(QFileInfo::exists(targetOf(inside, inside)));

    setAutoEject(true);
    const QString folder = inside + u"/folder"_s;
    QDir().mkpath(folder);
    const RunOutcome wrongPath = backUp(folder, {home.filePath(u"home"_s)});
    EXPECT_EQ(wrongPath.errorLines(), QStringList{u"Error: Volume not connected"_s});
    EXPECT_TRUE(wrongPath.messages.contains(u"Ejected volume"_s));
    EXPECT_TRUE(platform::isMountPoint(inside)) << "a folder on a volume never ejects the volume";
    EXPECT_TRUE(treeOf(folder).isEmpty());
    EXPECT_EQ(backUp(inside, {home.filePath(u"home"_s)}).errors, 0u);
    EXPECT_FALSE(platform::isMountPoint(inside));
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
    // Before the start: the other stick at the set's path gets nothing and stays.
    BackupScript atOther = scriptFor(mount, {m_source.filePath(u"many"_s)});
    atOther.volumePath = other.mountPath();
    EXPECT_EQ(runJob(atOther).errorLines(), QStringList{u"Error: Volume not connected"_s});
    EXPECT_FALSE(QFileInfo::exists(other.mountPath() + u"/Vellory"_s)) << "copies went to the other stick";
    EXPECT_TRUE(platform::isMountPoint(other.mountPath())) << "the other stick was ejected";
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
    const ReadOnlyMount detached(volume.device());
    EXPECT_EQ(int(treeOf(targetOf(detached.path(), m_source.filePath(u"many"_s))).size()), int(kFiles - outcome.errors));
}

// ---- The FAT family, as a user's stick has it -----------------------------

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
