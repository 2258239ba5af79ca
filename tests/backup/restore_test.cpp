// Restores on real loop volumes: what comes back, what local work is kept,
// and what a damaged or hostile volume cannot make a restore do.
#include "runtesting.h"

#include "backup/backupbrowser.h"
#include "backup/restoreplan.h"
#include "backup/restorerun.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Qt::Literals::StringLiterals;
namespace fs = std::filesystem;

using RestoreTest = RunTest;

// A restore runs as a job of its own kind, as the restore window starts it.
RunOutcome runRestore(const RestoreRequest &request, const std::function<void(BackupThread &)> &whileRunning = {})
{
    return runJob(BackupScript(), whileRunning, RestoreRun::jobKind(request));
}

RestoreRequest requestFor(const LoopVolume &volume, const QStringList &paths, const QString &target = QString(),
                          const QString &computer = platform::computerName())
{
    RestoreRequest request;
    request.volumePath = volume.mountPath();
    request.volumeName = u"STICK"_s;
    request.computer = computer;
    request.paths = paths;
    request.targetFolder = target;
    return request;
}

TEST_F(RestoreTest, IntoAFolderOrInPlaceItemsComeBackUnderTheirOwnNamesNoLocalFileChangesAndAHostileVolumeLeadsNothingOutside)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    const QString docs = m_source.filePath(u"docs"_s);
    m_source.write(u"docs/gone.txt"_s, "gone", 7200);
    m_source.write(u"docs/same.txt"_s, "same");
    m_source.write(u"docs/report.odt"_s, "backed-up report");
    m_source.write(u"docs/folder/deep/inner.txt"_s, "inner");
    ASSERT_EQ(chmod(QFile::encodeName(docs + u"/gone.txt"_s).constData(), 0750), 0);
    ASSERT_EQ(symlink("same.txt", QFile::encodeName(docs + u"/shortcut"_s).constData()), 0);
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {docs})).errors, 0u);
    const double goneTime = mtimeOf(docs + u"/gone.txt"_s);
    // Written straight onto the volume, as another computer's backup.
    const QString vellory = volume.mountPath() + u"/Vellory/"_s;
    writeFile(vellory + u"OLD LAPTOP/home/ann/notes.txt"_s, "notes");
    writeFile(vellory + u"OLD LAPTOP/home/ann/photos/cat.jpg"_s, "meow");

    const QList<BackupBrowser::Item> items = BackupBrowser(volume.mountPath()).items(u"OLD LAPTOP"_s, u"/home/ann"_s);
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0].isFolder);
    EXPECT_EQ(items[0].path, u"/home/ann/photos"_s);
    EXPECT_EQ(items[1].name, u"notes.txt"_s);
    EXPECT_EQ(items[1].size, 5);

    QTemporaryDir target;
    const RunOutcome old = runRestore(requestFor(
        volume, {u"/home/ann/photos"_s, u"/home/ann/notes.txt"_s, u"/home/ann/missing"_s}, target.path(), u"OLD LAPTOP"_s));
    EXPECT_EQ(old.errorLines(), QStringList{u"Error: item not found in the backup: /home/ann/missing"_s});
    EXPECT_EQ(contentOf(target.filePath(u"photos/cat.jpg"_s)), "meow");
    EXPECT_EQ(contentOf(target.filePath(u"notes.txt"_s)), "notes");
    // Nothing was written where the other computer kept them.
    EXPECT_FALSE(QFileInfo::exists(u"/home/ann/notes.txt"_s));

    // A hostile volume: links planted on it lead to a folder outside, as a
    // computer's folder, and as a folder on the way to a requested path.
    QTemporaryDir outside;
    writeFile(outside.filePath(u"secret.txt"_s), "secret");
    const QString data = vellory + platform::computerName() + u"/data"_s;
    writeFile(data + u"/plain.txt"_s, "plain");
    ASSERT_EQ(symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(data + u"/escape"_s).constData()), 0);
    ASSERT_EQ(symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(vellory + u"ELSEWHERE"_s).constData()), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(data + u"/pipe"_s).constData(), 0600), 0);

    const RunOutcome run = runRestore(requestFor(volume, {u"/data"_s, u"/data/escape/secret.txt"_s}, target.path()));
    EXPECT_EQ(run.status, BackupThreadStatusValue::completed);
    EXPECT_EQ(run.errorLines(),
              (QStringList{u"Error: Not restored: %1 is not a file, folder or link"_s.arg(target.filePath(u"data/pipe"_s)),
                           u"Error: Not restored: /data/escape/secret.txt: a symbolic link is in the way"_s}));
    // The link comes back as a link; nothing behind it was read.
    EXPECT_EQ(treeOf(target.filePath(u"data"_s)), (QStringList{u"escape"_s, u"plain.txt"_s}));
    EXPECT_EQ(fs::read_symlink(target.filePath(u"data/escape"_s).toStdString()), outside.path().toStdString());
    EXPECT_EQ(treeOf(outside.path()), QStringList{u"secret.txt"_s});

    // A second restore into the same folder, of a computer whose "escape"
    // is a real folder, does not write through the link the first brought.
    writeFile(vellory + u"OTHER/data/escape/planted.txt"_s, "planted");
    EXPECT_EQ(runRestore(requestFor(volume, {u"/data"_s}, target.path(), u"OTHER"_s)).errorLines(),
              QStringList{u"Error: Not restored: %1: a symbolic link is in the way"_s.arg(target.filePath(u"data/escape"_s))});
    EXPECT_EQ(treeOf(outside.path()), QStringList{u"secret.txt"_s});

    EXPECT_EQ(runRestore(requestFor(volume, {u"/secret.txt"_s}, target.path(), u"ELSEWHERE"_s)).errorLines(),
              QStringList{u"Error: There is no backup of \"ELSEWHERE\" on \"STICK\""_s});
    EXPECT_TRUE(BackupBrowser(volume.mountPath()).items(u"ELSEWHERE"_s, u"/"_s).isEmpty());
    EXPECT_EQ(treeOf(outside.path()), QStringList{u"secret.txt"_s});

    // In place: the person deletes a file, a folder and a link, and changes
    // a file. A restore reads only: the volume is mounted read-only for it.
    QFile::remove(docs + u"/gone.txt"_s);
    QFile::remove(docs + u"/shortcut"_s);
    QDir(docs + u"/folder"_s).removeRecursively();
    m_source.write(u"docs/report.odt"_s, "today's work", 0);
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(volume.mount(QString(), true));

    const RunOutcome first = runRestore(requestFor(volume, {docs}));
    EXPECT_EQ(first.errors, 0u) << first.messages.join(u'\n').toStdString();
    EXPECT_EQ(first.progress, 1.0f);
    EXPECT_EQ(first.messages.mid(0, 2), (QStringList{u"Scanning "_s + docs + u"..."_s,
                                                     u"Items checked 2, 4 to restore, requires 33 bytes"_s}));
    EXPECT_TRUE(first.messages.contains(u"Kept %1 and restored the backup's version beside it as \"report (restored).odt\""_s
                                            .arg(docs + u"/report.odt"_s)));
    EXPECT_EQ(first.messages.mid(first.messages.size() - 2),
              (QStringList{u"Items restored 4, 33 bytes. Errors 0"_s, u"Restore Process finished"_s}));

    EXPECT_EQ(contentOf(docs + u"/gone.txt"_s), "gone");
    EXPECT_EQ(mtimeOf(docs + u"/gone.txt"_s), goneTime);
    EXPECT_EQ(fs::status(docs.toStdString() + "/gone.txt").permissions(), fs::perms(0750));
    EXPECT_EQ(contentOf(docs + u"/folder/deep/inner.txt"_s), "inner");
    EXPECT_EQ(fs::read_symlink(docs.toStdString() + "/shortcut"), "same.txt");
    EXPECT_EQ(contentOf(docs + u"/report.odt"_s), "today's work");
    EXPECT_EQ(contentOf(docs + u"/report (restored).odt"_s), "backed-up report");
    EXPECT_EQ(treeOf(docs).size(), 8);

    // Again: everything is there or restored beside already. Then with
    // differing files skipped, a newer change is only named.
    const RunOutcome again = runRestore(requestFor(volume, {docs}));
    EXPECT_TRUE(again.messages.value(1).startsWith(u"Items checked 5, 0 to restore"_s)) << again.messages.value(1).toStdString();
    EXPECT_EQ(again.errors, 0u);
    m_source.write(u"docs/same.txt"_s, "changed", 0);
    RestoreRequest skipping = requestFor(volume, {docs + u"/same.txt"_s});
    skipping.difference = RestoreRequest::Difference::skip;
    const RunOutcome skipped = runRestore(skipping);
    EXPECT_TRUE(skipped.messages.contains(u"Kept %1: it differs from the backup"_s.arg(docs + u"/same.txt"_s)));
    EXPECT_EQ(skipped.errors, 0u);
    EXPECT_FALSE(QFileInfo::exists(docs + u"/same (restored).txt"_s));
    EXPECT_EQ(contentOf(docs + u"/same.txt"_s), "changed");
}

TEST_F(RestoreTest, WithoutTheVolumeNothingIsWrittenAndACancelOrAFullDiskLeavesOnlyCompleteFiles)
{
    QTemporaryDir nowhere;
    QTemporaryDir target;
    LoopVolume absent(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(absent);
    RestoreRequest request = requestFor(absent, {u"/docs"_s}, target.path());
    request.volumePath = nowhere.path();
    const RunOutcome missing = runRestore(request);
    EXPECT_EQ(missing.messages, (QStringList{u"Error: Volume not connected"_s, u"Restore Process finished"_s}));
    EXPECT_TRUE(treeOf(target.path()).isEmpty());

    // Another stick at the destination's mount point is not the destination.
    request = requestFor(absent, {u"/docs"_s}, target.path());
    request.volumeUUID = u"0000-NOT-THIS-ONE"_s;
    EXPECT_EQ(runRestore(request).errorLines(), QStringList{u"Error: Volume not connected"_s});

    const QString docs = m_source.filePath(u"docs"_s);
    // Enough files that the cancel comes while the restore is still busy.
    for (int i = 0; i < 3000; ++i) {
        m_source.write(u"docs/f%1.bin"_s.arg(i, 4, 10, QLatin1Char('0')), patterned(8 * 1024, i));
    }
    ASSERT_EQ(runJob(scriptFor(absent.mountPath(), {docs})).errors, 0u);
    bool cancelled = false;
    const RunOutcome cut = runRestore(requestFor(absent, {docs}, target.path()), [&](BackupThread &job) {
        if (!cancelled && job.progressValue() > 0) {
            cancelled = true;
            job.cancel();
        }
    });
    EXPECT_EQ(cut.status, BackupThreadStatusValue::cancelled);
    EXPECT_EQ(cut.messages.constLast(), u"Restore Process finished"_s);
    const QStringList restored = treeOf(target.filePath(u"docs"_s));
    EXPECT_LT(restored.size(), 3000);
    for (const QString &name : restored) {
        EXPECT_EQ(contentOf(target.filePath(u"docs/"_s + name)), patterned(8 * 1024, name.mid(1, 4).toInt()))
            << name.toStdString();
    }

    // A local disk that fills up ends the restore with one line, not one
    // per file, and what is there is complete.
    LoopVolume small(LoopVolume::Kind::Ext4, u"SMALL"_s, 8);
    SKIP_WITHOUT(small);
    const RunOutcome full = runRestore(requestFor(absent, {docs}, small.mountPath()));
    ASSERT_EQ(full.errorLines().size(), 1) << full.errorLines().join(u'\n').toStdString();
    EXPECT_TRUE(full.errorLines().constFirst().endsWith(u"there is not enough space left on the volume"_s));
    EXPECT_EQ(full.status, BackupThreadStatusValue::completed);
    const QStringList partial = treeOf(small.mountPath() + u"/docs"_s);
    EXPECT_GT(partial.size(), 0);
    for (const QString &name : partial) {
        EXPECT_EQ(contentOf(small.mountPath() + u"/docs/"_s + name), patterned(8 * 1024, name.mid(1, 4).toInt()))
            << name.toStdString();
    }
}

TEST_F(RestoreTest, FromAVolumeWithoutPermissionBitsTheUsersDefaultsApply)
{
    LoopVolume volume(LoopVolume::Kind::ExFat, u"STICK"_s);
    SKIP_WITHOUT(volume);
    const QString file = m_source.write(u"docs/run.sh"_s, "echo hi");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0700), 0);
    ASSERT_EQ(runJob(scriptFor(volume.mountPath(), {m_source.filePath(u"docs"_s)})).errors, 0u);
    QTemporaryDir target;
    ASSERT_EQ(runRestore(requestFor(volume, {file}, target.path())).errors, 0u);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(target.filePath(u"run.sh"_s).toStdString()).permissions(), fs::perms(0666 & ~mask));
    EXPECT_EQ(contentOf(target.filePath(u"run.sh"_s)), "echo hi");
}

TEST(RestoreNames, TheBackupsVersionKeepsItsExtensionBesideTheLocalFile)
{
    EXPECT_EQ(RestorePlan::besideName("archive.tar.gz", 2), "archive.tar (restored 2).gz");
    EXPECT_EQ(RestorePlan::besideName(".bashrc"), ".bashrc (restored)");
    EXPECT_EQ(RestorePlan::besideName("Makefile"), "Makefile (restored)");
}

} // namespace
