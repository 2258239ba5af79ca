#include "runtesting.h"

#include "platform/filecopier.h"
#include "platform/mountpoint.h"

#include <QRegularExpression>

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

class BackupRunTest : public ::testing::Test
{
protected:
    void SetUp() override { setAutoEject(false); }
    void TearDown() override { platform::preferences()->remove(QStringLiteral("autoEjectOnComplete")); }

    SourceTree m_source;
};

bool hasTemporaryFiles(const QString &folder)
{
    for (const QString &item : treeOf(folder)) {
        if (platform::FileCopier::isTemporaryName(QFile::encodeName(QFileInfo(item).fileName()))) {
            return true;
        }
    }
    return false;
}

} // namespace

// ---- Without a reachable volume (no root needed) -------------------------

TEST_F(BackupRunTest, AnEmptySourceListScansNothingAndCloses)
{
    const RunOutcome outcome = runJob(scriptFor(QString(), {}));
    EXPECT_EQ(outcome.messages, (QStringList{QStringLiteral("Items checked 0, 0 to copy, requires Zero KB"),
                                             QStringLiteral("Backup Process finished")}));
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(outcome.errors, 0u);
}

TEST_F(BackupRunTest, AnEmptyVolumePathOrALeftoverFolderIsNotConnectedAndNothingIsWritten)
{
    m_source.write(QStringLiteral("a/one.txt"), "1");
    m_source.write(QStringLiteral("b/two.txt"), "2");
    QDir().mkpath(m_source.filePath(QStringLiteral("c/empty")));
    QTemporaryDir leftover; // where a volume used to be mounted
    for (const QString &volumePath : {QString(), leftover.path()}) {
        const QStringList sources = {m_source.filePath(QStringLiteral("a")), m_source.filePath(QStringLiteral("c")),
                                     m_source.filePath(QStringLiteral("b"))};
        const RunOutcome outcome = runJob(scriptFor(volumePath, sources));
        EXPECT_EQ(outcome.messages,
                  (QStringList{QStringLiteral("Scanning %1...").arg(sources[0]), QStringLiteral("Error: Volume not connected"),
                               QStringLiteral("Scanning %1...").arg(sources[1]),
                               QStringLiteral("Scanning %1...").arg(sources[2]), QStringLiteral("Error: Volume not connected"),
                               QStringLiteral("Items checked 0, 0 to copy, requires Zero KB"),
                               QStringLiteral("Backup Process finished")}))
            << volumePath.toStdString();
        EXPECT_EQ(outcome.errors, 2u);
        EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
    }
    EXPECT_TRUE(treeOf(leftover.path()).isEmpty()) << "nothing may land on the computer's own disk";
}

TEST_F(BackupRunTest, MissingSourcesAreCountedAndTheEjectIsLoggedWhenOn)
{
    setAutoEject(true);
    QTemporaryDir leftover;
    const QString missing = m_source.filePath(QStringLiteral("gone"));
    const RunOutcome outcome = runJob(scriptFor(leftover.path(), {missing, QStringLiteral("relative/path")}));
    EXPECT_EQ(outcome.messages, (QStringList{QStringLiteral("Error: item not found: ") + missing,
                                             QStringLiteral("Error: item not found: relative/path"),
                                             QStringLiteral("Items checked 0, 0 to copy, requires Zero KB"),
                                             QStringLiteral("Ejected volume"), QStringLiteral("Backup Process finished")}));
    EXPECT_EQ(outcome.errors, 2u);
    EXPECT_TRUE(QFileInfo(leftover.path()).isDir()) << "a plain folder is never unmounted or removed";
}

// ---- ext4 through the kernel ---------------------------------------------

TEST_F(BackupRunTest, Ext4FirstRunCopiesTheTreeAndASecondRunCopiesNothing)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString a = m_source.write(QStringLiteral("docs/a.txt"), "alpha", 7200);
    const QString hidden = m_source.write(QStringLiteral("docs/.hidden"), "hidden");
    const QString deep = m_source.write(QStringLiteral("docs/x/y/z/deep.bin"), QByteArray(300000, 'z'));
    m_source.write(QStringLiteral("docs/.DS_Store"), "finder");
    m_source.write(QStringLiteral("docs/sub/.DS_Store"), "finder");
    QDir().mkpath(m_source.filePath(QStringLiteral("docs/empty/inner")));
    QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QByteArray rawName = QFile::encodeName(m_source.filePath(QStringLiteral("docs/"))) + "caf\xe9-latin1.txt";
    {
        const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "raw", 3), 3);
        ::close(fd);
    }
    ASSERT_EQ(::symlink("a.txt", (QFile::encodeName(m_source.filePath(QStringLiteral("docs/link")))).constData()), 0);
    ASSERT_EQ(::symlink("/", (QFile::encodeName(m_source.filePath(QStringLiteral("docs/rootlink")))).constData()), 0);
    const QString source = m_source.filePath(QStringLiteral("docs"));

    const RunOutcome first = runJob(scriptFor(volume.mountPath(), {source}));
    // alpha + hidden + deep + raw + two links ("a.txt", "/"): 300,020 bytes
    EXPECT_EQ(first.messages, (QStringList{QStringLiteral("Scanning %1...").arg(source),
                                           QStringLiteral("Items checked 0, 6 to copy, requires 300.0 KB"),
                                           QStringLiteral("Backing up 6 items."),
                                           QStringLiteral("Items backed up 6, 300.0 KB. Errors 0"),
                                           QStringLiteral("Backup Process finished")}));
    EXPECT_EQ(first.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(first.errors, 0u);
    EXPECT_EQ(first.progress, 1.0f);

    const QString mount = volume.mountPath();
    EXPECT_EQ(contentOf(targetOf(mount, a)), QByteArray("alpha"));
    EXPECT_EQ(contentOf(targetOf(mount, hidden)), QByteArray("hidden"));
    EXPECT_EQ(contentOf(targetOf(mount, deep)), QByteArray(300000, 'z'));
    EXPECT_FALSE(QFileInfo::exists(targetOf(mount, m_source.filePath(QStringLiteral("docs/.DS_Store")))));
    EXPECT_FALSE(QFileInfo::exists(targetOf(mount, m_source.filePath(QStringLiteral("docs/empty")))))
        << "empty folders are not made";
    EXPECT_FALSE(QFileInfo::exists(targetOf(mount, m_source.filePath(QStringLiteral("docs/sub")))));
    // The time (to the nanosecond on ext4) and the permission bits are kept.
    const timespec sourceTime = SourceTree::modificationTime(QFile::encodeName(a));
    const timespec copyTime = SourceTree::modificationTime(QFile::encodeName(targetOf(mount, a)));
    EXPECT_EQ(sourceTime.tv_sec, copyTime.tv_sec);
    EXPECT_EQ(sourceTime.tv_nsec, copyTime.tv_nsec);
    EXPECT_EQ(QFile::permissions(targetOf(mount, a)), QFile::permissions(a));
    // Links stay links, never followed.
    EXPECT_EQ(QFileInfo(targetOf(mount, m_source.filePath(QStringLiteral("docs/link")))).symLinkTarget(),
              targetOf(mount, a));
    EXPECT_TRUE(QFileInfo(targetOf(mount, m_source.filePath(QStringLiteral("docs/rootlink")))).isSymLink());
    // A name that is not UTF-8 is backed up byte for byte.
    const QByteArray rawTarget = QFile::encodeName(mount) + "/Vellory/" + QFile::encodeName(platform::computerName()) + rawName;
    struct stat info {};
    EXPECT_EQ(::lstat(rawTarget.constData(), &info), 0) << "non-UTF-8 name missing on the volume";
    EXPECT_FALSE(hasTemporaryFiles(mount));

    const RunOutcome second = runJob(scriptFor(volume.mountPath(), {source}));
    EXPECT_EQ(second.messages, (QStringList{QStringLiteral("Scanning %1...").arg(source),
                                            QStringLiteral("Items checked 6, 0 to copy, requires Zero KB"),
                                            QStringLiteral("Backup Process finished")}));
    EXPECT_EQ(second.status, BackupThreadStatusValue::completed);
}

TEST_F(BackupRunTest, Ext4ComparesByTheTenSecondRuleAndBySize)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString within = m_source.write(QStringLiteral("s/within.txt"), "same");
    const QString beyond = m_source.write(QStringLiteral("s/beyond.txt"), "same");
    const QString resized = m_source.write(QStringLiteral("s/resized.txt"), "source text");
    const QString source = m_source.filePath(QStringLiteral("s"));
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {source})).errors, 0u);

    const QString mount = volume.mountPath();
    const double sourceTime = double(SourceTree::modificationTime(QFile::encodeName(within)).tv_sec)
        + double(SourceTree::modificationTime(QFile::encodeName(within)).tv_nsec) / 1e9;
    SourceTree::setTime(QFile::encodeName(targetOf(mount, within)), sourceTime - 10.0);
    SourceTree::setTime(QFile::encodeName(targetOf(mount, beyond)), sourceTime - 10.5);
    {
        QFile copy(targetOf(mount, resized));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copy.write("newer but different");
    }
    SourceTree::setTime(QFile::encodeName(targetOf(mount, resized)), sourceTime + 3600);

    const RunOutcome outcome = runJob(scriptFor(mount, {source}));
    EXPECT_EQ(outcome.messages.value(1), QStringLiteral("Items checked 3, 2 to copy, requires 15 bytes"));
    EXPECT_EQ(outcome.errors, 0u);
    EXPECT_EQ(contentOf(targetOf(mount, resized)), QByteArray("source text"));
    const double beyondTime = double(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, beyond))).tv_sec);
    EXPECT_NEAR(beyondTime, sourceTime, 1.0) << "the re-copied file carries the source's time";
    const double withinTime = double(SourceTree::modificationTime(QFile::encodeName(targetOf(mount, within))).tv_sec);
    EXPECT_NEAR(withinTime, sourceTime - 10.0, 1.0) << "10 seconds older is not copied";
}

TEST_F(BackupRunTest, Ext4BacksUpASingleFileSourceAndGoesOnAfterAMissingOne)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString single = m_source.write(QStringLiteral("notes/todo.txt"), "milk");
    m_source.write(QStringLiteral("notes/other.txt"), "not a source");
    const QString folderFile = m_source.write(QStringLiteral("pics/p.jpg"), "jpeg");
    const QString missing = m_source.filePath(QStringLiteral("nowhere"));
    const RunOutcome outcome =
        runJob(scriptFor(volume.mountPath(), {missing, single, m_source.filePath(QStringLiteral("pics"))}));
    EXPECT_EQ(outcome.messages.value(0), QStringLiteral("Error: item not found: ") + missing);
    EXPECT_EQ(outcome.messages.value(1), QStringLiteral("Scanning %1...").arg(single));
    EXPECT_EQ(outcome.messages.value(3), QStringLiteral("Items checked 0, 2 to copy, requires 8 bytes"));
    EXPECT_EQ(outcome.errors, 1u);
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), single)), QByteArray("milk"));
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), folderFile)), QByteArray("jpeg"));
    EXPECT_FALSE(QFileInfo::exists(targetOf(volume.mountPath(), m_source.filePath(QStringLiteral("notes/other.txt")))));
}

TEST_F(BackupRunTest, Ext4RefusesSpecialFilesWithoutOpeningThem)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    m_source.write(QStringLiteral("s/plain.txt"), "ok");
    const QString fifo = m_source.filePath(QStringLiteral("s/pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString socketPath = m_source.filePath(QStringLiteral("s/sock"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

    const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {m_source.filePath(QStringLiteral("s"))}));
    ::close(sock);
    EXPECT_EQ(outcome.errorLines(),
              (QStringList{QStringLiteral("Error: Failed to copy file %1: it is a named pipe; pipes are not backed up").arg(fifo),
                           QStringLiteral("Error: Failed to copy file %1: it is a socket; sockets are not backed up").arg(socketPath)}));
    EXPECT_EQ(outcome.errors, 2u);
    EXPECT_EQ(outcome.messages.value(outcome.messages.size() - 2), QStringLiteral("Items backed up 1, 2 bytes. Errors 2"));
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
    EXPECT_LT(outcome.progress, 1.0f) << "failed entries do not advance the progress";
}

TEST_F(BackupRunTest, Ext4VolumeFullKeepsTheOldCopyAndLeavesNoTemporaryFile)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("SMALL"), 16);
    SKIP_WITHOUT(volume);
    const QString file = m_source.write(QStringLiteral("s/grows.bin"), QByteArray(100000, 'o'));
    const QString source = m_source.filePath(QStringLiteral("s"));
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {source})).errors, 0u);

    // Fill the volume, then make the source larger than what is left.
    {
        QFile filler(volume.mountPath() + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    m_source.write(QStringLiteral("s/grows.bin"), QByteArray(3 << 20, 'n'), 0);
    const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {source}));
    EXPECT_EQ(outcome.errors, 1u);
    EXPECT_EQ(outcome.errorLines(),
              QStringList{QStringLiteral("Error: Failed to copy file %1: there is not enough space left on the volume").arg(file)});
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), QByteArray(100000, 'o')) << "old copy intact";
    EXPECT_FALSE(hasTemporaryFiles(volume.mountPath()));
}

TEST_F(BackupRunTest, Ext4RemovesStaleTemporariesButNeverAUsersFileOrOneInUse)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString file = m_source.write(QStringLiteral("s/doc.txt"), "v1");
    // The user's own files, named like temporaries by accident or on purpose.
    const QStringList own{m_source.write(QStringLiteral("s/.vellory-partial-notes"), "notes"),
                          m_source.write(QStringLiteral("s/.vellory-partial-00000000000000aa.tmp"), "lookalike")};
    const QString source = m_source.filePath(QStringLiteral("s"));
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {source})).errors, 0u);

    const QString folder = QFileInfo(targetOf(volume.mountPath(), file)).path();
    const QString stale = folder + QStringLiteral("/.vellory-partial-0123456789abcdef.tmp");
    const QString inUse = folder + QStringLiteral("/.vellory-partial-feedbeef00000000.tmp");
    QFile busy(inUse);
    ASSERT_TRUE(busy.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(busy.handle(), LOCK_EX), 0); // as a running copy of another job holds it
    for (int run = 2; run <= 3; ++run) {
        QFile(stale).open(QIODevice::WriteOnly);
        const QByteArray content = "v" + QByteArray::number(run) + QByteArray(run, '+'); // a new size each run
        m_source.write(QStringLiteral("s/doc.txt"), content, 0);
        const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {source}));
        EXPECT_EQ(outcome.errors, 0u);
        EXPECT_EQ(contentOf(targetOf(volume.mountPath(), file)), content);
        EXPECT_FALSE(QFileInfo::exists(stale)) << "run " << run;
        EXPECT_TRUE(QFileInfo::exists(inUse)) << "run " << run;
        for (const QString &mine : own) {
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), mine)), contentOf(mine)) << "run " << run;
        }
    }

    const std::pair<const char *, bool> names[] = {
        {".vellory-partial-0123456789abcdef.tmp", true},  {".vellory-partial-notes", false},
        {".vellory-partial-0123abcd", false},             {".vellory-partial-0123456789ABCDEF.tmp", false},
        {".vellory-partial-0123456789abcdef.tmp~", false}, {".vellory-partial-0123456789abcdeg.tmp", false},
    };
    for (const auto &[name, temporary] : names) {
        EXPECT_EQ(platform::FileCopier::isTemporaryName(name), temporary) << name;
    }
}

TEST_F(BackupRunTest, Ext4CancelDuringTheCopyStopsAndStillCloses)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        m_source.write(QStringLiteral("many/f%1.txt").arg(i, 4, 10, QLatin1Char('0')), "x");
    }
    setAutoEject(true);
    const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {m_source.filePath(QStringLiteral("many"))}),
                                      [](BackupThread &job) {
                                          if (job.status() == BackupThreadStatusValue::backingUp) {
                                              job.cancel();
                                          }
                                      });
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::cancelled);
    ASSERT_GE(outcome.messages.size(), 4);
    const QRegularExpression summary(QStringLiteral("^Items backed up ([0-9]+), .*\\. Errors 0$"));
    const QRegularExpressionMatch match = summary.match(outcome.messages.at(outcome.messages.size() - 3));
    ASSERT_TRUE(match.hasMatch()) << outcome.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(match.captured(1).toInt(), kFiles);
    EXPECT_EQ(outcome.messages.at(outcome.messages.size() - 2), QStringLiteral("Ejected volume"));
    EXPECT_EQ(outcome.messages.last(), QStringLiteral("Backup Process finished"));
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath())) << "the eject still happens after a cancel";
}

TEST_F(BackupRunTest, Ext4EjectActsOnlyOnTheMountPointItself)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    setAutoEject(true);
    m_source.write(QStringLiteral("s/a.txt"), "a");
    const QString inside = volume.mountPath() + QStringLiteral("/folder");
    QDir().mkpath(inside);
    const RunOutcome wrongPath = runJob(scriptFor(inside, {m_source.filePath(QStringLiteral("s"))}));
    EXPECT_EQ(wrongPath.errorLines(), QStringList{QStringLiteral("Error: Volume not connected")});
    EXPECT_TRUE(wrongPath.messages.contains(QStringLiteral("Ejected volume")));
    EXPECT_TRUE(platform::isMountPoint(volume.mountPath())) << "a folder on a volume never ejects the volume";
    EXPECT_TRUE(treeOf(inside).isEmpty());

    const RunOutcome right = runJob(scriptFor(volume.mountPath(), {m_source.filePath(QStringLiteral("s"))}));
    EXPECT_EQ(right.errors, 0u);
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath()));
}

TEST_F(BackupRunTest, Ext4AnotherStickMountedAtThePathDuringTheRunIsNotEjected)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    LoopVolume other(LoopVolume::Kind::Ext4, QStringLiteral("STICK")); // same label, so the same place
    SKIP_WITHOUT(volume);
    SKIP_WITHOUT(other);
    setAutoEject(true);
    for (int i = 0; i < 2000; ++i) {
        m_source.write(QStringLiteral("many/f%1.txt").arg(i, 4, 10, QLatin1Char('0')), "x");
    }
    const QString mount = volume.mountPath();
    const QString otherUuid = scriptFor(other.mountPath(), {}).volumeUUID;
    bool swapped = false;
    const RunOutcome outcome = runJob(scriptFor(mount, {m_source.filePath(QStringLiteral("many"))}), [&](BackupThread &job) {
        if (!swapped && job.status() == BackupThreadStatusValue::backingUp) {
            swapped = QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount}) == 0 && other.unmount()
                && other.mount(mount);
        }
    });
    ASSERT_TRUE(swapped);
    EXPECT_TRUE(outcome.messages.contains(QStringLiteral("Ejected volume")));
    const auto there = platform::LinuxVolumeTable().volumeAt(mount);
    ASSERT_TRUE(there.has_value()) << "the other stick was ejected";
    EXPECT_EQ(there->uuid, otherUuid);
}

TEST_F(BackupRunTest, Ext4UnmountedMidRunWritesNothingOntoTheComputersDisk)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        m_source.write(QStringLiteral("many/f%1.txt").arg(i, 4, 10, QLatin1Char('0')), "x");
    }
    const QString mount = volume.mountPath();
    bool detached = false;
    const RunOutcome outcome = runJob(scriptFor(mount, {m_source.filePath(QStringLiteral("many"))}), [&](BackupThread &job) {
        if (!detached && job.status() == BackupThreadStatusValue::backingUp) {
            const int code = QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
            detached = code == 0;
            EXPECT_EQ(code, 0) << "umount -l failed";
        }
    });
    ASSERT_TRUE(detached);
    EXPECT_EQ(outcome.status, BackupThreadStatusValue::completed);
    EXPECT_FALSE(platform::isMountPoint(mount));
    EXPECT_TRUE(treeOf(mount).isEmpty()) << "copies went to the computer's disk: " << treeOf(mount).mid(0, 3).join(QLatin1Char(' ')).toStdString();
    // The detached volume kept every copy made through it.
    QTemporaryDir again;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("ro"), volume.device(), again.path()}), 0);
    const int copied = int(treeOf(targetOf(again.path(), m_source.filePath(QStringLiteral("many")))).size());
    QProcess::execute(QStringLiteral("umount"), {again.path()});
    EXPECT_EQ(copied, int(kFiles - outcome.errors));
}

TEST_F(BackupRunTest, Ext4SourceHoldingTheVolumeDoesNotBackTheVolumeUpIntoItself)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString inside = m_source.filePath(QStringLiteral("media/STICK"));
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(volume.mount(inside));
    m_source.write(QStringLiteral("home/a.txt"), "a");
    const RunOutcome first = runJob(scriptFor(inside, {m_source.path()}));
    const RunOutcome second = runJob(scriptFor(inside, {m_source.path()}));
    EXPECT_EQ(first.errors, 0u);
    EXPECT_EQ(second.messages.value(1), QStringLiteral("Items checked 1, 0 to copy, requires Zero KB"));
    EXPECT_FALSE(QFileInfo::exists(targetOf(inside, inside)));
}

// ---- The FAT family, as a user's stick has it -----------------------------

TEST_F(BackupRunTest, FatSecondRunCopiesNothingDespiteTwoSecondTimes)
{
    for (const auto kind : {LoopVolume::Kind::Fat, LoopVolume::Kind::ExFat}) {
        LoopVolume volume(kind, QStringLiteral("STICK"));
        SKIP_WITHOUT(volume);
        const QString odd = m_source.write(QStringLiteral("s/odd.txt"), "odd second");
        SourceTree::setTime(QFile::encodeName(odd), 1700000001.73);
        m_source.write(QStringLiteral("s/sub/even.txt"), "even");
        const QString source = m_source.filePath(QStringLiteral("s"));
        const RunOutcome first = runJob(scriptFor(volume.mountPath(), {source}));
        EXPECT_EQ(first.errors, 0u) << first.messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(contentOf(targetOf(volume.mountPath(), odd)), QByteArray("odd second"));
        const RunOutcome second = runJob(scriptFor(volume.mountPath(), {source}));
        EXPECT_EQ(second.messages.value(1), QStringLiteral("Items checked 2, 0 to copy, requires Zero KB"))
            << "kind " << int(kind);
    }
}

TEST_F(BackupRunTest, FatRefusesLinksPipesAndNamesWithAReasonAndCopiesTheRest)
{
    for (const auto kind : {LoopVolume::Kind::Fat, LoopVolume::Kind::ExFat}) {
        LoopVolume volume(kind, QStringLiteral("STICK"));
        SKIP_WITHOUT(volume);
        SourceTree source;
        const QString plain = source.write(QStringLiteral("s/plain.txt"), "fine");
        const QString colon = source.write(QStringLiteral("s/12:30 meeting.txt"), "time");
        const QString link = source.filePath(QStringLiteral("s/link"));
        ASSERT_EQ(::symlink("plain.txt", QFile::encodeName(link).constData()), 0);
        const QString pipe = source.filePath(QStringLiteral("s/pipe"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
        const QString badFolderFile = source.write(QStringLiteral("s/what?/inside.txt"), "in");

        const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {source.filePath(QStringLiteral("s"))}));
        const QStringList errors = outcome.errorLines();
        EXPECT_TRUE(errors.contains(QStringLiteral("Error: Failed to copy file %1: the name is not allowed on this file system").arg(colon)))
            << errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("Error: Failed to copy file %1: symbolic links are not supported on this volume's file system").arg(link)))
            << errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("Error: Failed to copy file %1: it is a named pipe; pipes are not backed up").arg(pipe)));
        EXPECT_TRUE(errors.filter(QStringLiteral("Error: Failed to create directory ")).value(0).endsWith(
            QStringLiteral("the name \"what?\" is not allowed on this file system")))
            << errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(outcome.errors, quint64(errors.size()));
        EXPECT_EQ(contentOf(targetOf(volume.mountPath(), plain)), QByteArray("fine"));
        EXPECT_FALSE(QFileInfo::exists(targetOf(volume.mountPath(), badFolderFile)));
        EXPECT_FALSE(hasTemporaryFiles(volume.mountPath())) << "kind " << int(kind);
    }
}

TEST_F(BackupRunTest, FatNamesThatDifferOnlyInCaseAreReportedAndNeverOverwriteEachOther)
{
    for (const auto kind : {LoopVolume::Kind::ExFat, LoopVolume::Kind::Fat}) {
        LoopVolume volume(kind, QStringLiteral("STICK"));
        SKIP_WITHOUT(volume);
        SourceTree source;
        const QString upper = source.write(QStringLiteral("s/README.txt"), "upper case");
        const QString lower = source.write(QStringLiteral("s/readme.txt"), "lower");
        const QString inFolder = source.write(QStringLiteral("s/Notes/a.txt"), "a");
        source.write(QStringLiteral("s/notes/b.txt"), "b");
        const QString reason = QStringLiteral(": another file in this folder has the same name on this volume's file "
                                              "system, which does not tell upper from lower case");
        QStringList expected{QStringLiteral("Error: Failed to copy file ") + source.filePath(QStringLiteral("s/notes")) + reason,
                             QStringLiteral("Error: Failed to copy file ") + lower + reason};
        if (kind == LoopVolume::Kind::ExFat) { // FAT through FUSE takes no letters beyond ASCII
            source.write(QStringLiteral("s/\u00C4rger.txt"), "A umlaut");
            expected << QStringLiteral("Error: Failed to copy file ") + source.filePath(QStringLiteral("s/\u00E4rger.txt")) + reason;
            source.write(QStringLiteral("s/\u00E4rger.txt"), "a umlaut");
        }
        for (int run = 1; run <= 3; ++run) {
            if (run == 3) {
                // After a remount, and with the second one newer and longer.
                ASSERT_TRUE(volume.unmount());
                ASSERT_TRUE(volume.mount());
                source.write(QStringLiteral("s/readme.txt"), "lower, and changed", 0);
            }
            const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {source.filePath(QStringLiteral("s"))}));
            EXPECT_EQ(outcome.errorLines(), expected) << "kind " << int(kind) << ", run " << run;
            EXPECT_EQ(outcome.errors, quint64(expected.size()));
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), upper)), QByteArray("upper case")) << "run " << run;
            EXPECT_EQ(contentOf(targetOf(volume.mountPath(), inFolder)), QByteArray("a")) << "run " << run;
        }
    }
}

TEST_F(BackupRunTest, FatRefusesAFileOverFourGigabytesAtOnce)
{
    LoopVolume volume(LoopVolume::Kind::Fat, QStringLiteral("STICK"));
    SKIP_WITHOUT(volume);
    const QString huge = m_source.filePath(QStringLiteral("s/huge.img"));
    QDir().mkpath(QFileInfo(huge).path());
    {
        QFile sparse(huge);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(5) << 30)); // sparse: takes no space here
    }
    m_source.write(QStringLiteral("s/small.txt"), "small");
    const RunOutcome outcome = runJob(scriptFor(volume.mountPath(), {m_source.filePath(QStringLiteral("s"))}));
    EXPECT_EQ(outcome.errorLines(),
              QStringList{QStringLiteral("Error: Failed to copy file %1: the file is too large for this volume's file system").arg(huge)});
    EXPECT_EQ(contentOf(targetOf(volume.mountPath(), m_source.filePath(QStringLiteral("s/small.txt")))), QByteArray("small"));
    EXPECT_FALSE(hasTemporaryFiles(volume.mountPath()));
}
