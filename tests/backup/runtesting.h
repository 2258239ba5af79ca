#pragma once

#include "backup/backupthread.h"
#include "jobtesting.h"
#include "loopvolume.h"
#include "platform/computername.h"
#include "volumes/linuxvolumetable.h"
#include "platform/settings.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A job's log lines after the first, without their time stamps.
inline QStringList messagesOf(const QStringList &log)
{
    QStringList messages;
    for (const QString &line : log.mid(1)) {
        messages << line.mid(11);
    }
    return messages;
}

// What a finished job showed.
struct RunOutcome
{
    QStringList messages; // log lines after the first, time stamps and the closing "Result: ..." line removed
    BackupThreadStatusValue status = BackupThreadStatusValue::awaiting;
    quint64 errors = 0;
    float progress = 0;
    bool finished = false;

    [[nodiscard]] QStringList errorLines() const
    {
        return messages.filter(QRegularExpression(QStringLiteral("^Error: ")));
    }
};

// Starts a job as the controller does and waits for its run to end.
// `whileRunning` is called on the main thread for each applied change;
// `kind` gives the job other work than a backup on this machine.
inline RunOutcome runJob(const BackupScript &script,
                         const std::function<void(BackupThread &)> &whileRunning = {}, JobKind kind = {})
{
    const auto job = BackupThread::create(script, IconDescription(), std::move(kind));
    RunOutcome outcome;
    QObject::connect(job.get(), &BackupThread::runFinished, [&] { outcome.finished = true; });
    if (whileRunning) {
        auto poke = [&] { whileRunning(*job); };
        QObject::connect(job.get(), &BackupThread::progressValueChanged, poke);
        QObject::connect(job.get(), &BackupThread::logLineAppended, poke);
    }
    job->setStatus(BackupThreadStatusValue::scanning);
    job->start();
    if (!waitUntil([&] { return outcome.finished; }, 180000)) {
        ADD_FAILURE() << "the run did not finish";
        return outcome;
    }
    outcome.messages = messagesOf(job->log());
    if (!outcome.messages.isEmpty() && outcome.messages.last().startsWith(QStringLiteral("Result: "))) {
        outcome.messages.removeLast();
    }
    outcome.status = job->status();
    outcome.errors = job->errorCount();
    outcome.progress = job->progressValue();
    return outcome;
}

// Writes `content` to `path`, making its folder.
inline void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

// A source tree in a temporary folder.
class SourceTree : public QTemporaryDir
{
public:
    QString write(const QString &relative, const QByteArray &content, qint64 secondsAgo = 3600) const
    {
        const QString full = filePath(relative);
        writeFile(full, content);
        setTime(QFile::encodeName(full), double(::time(nullptr) - secondsAgo));
        return full;
    }

    static void setTime(const QByteArray &path, double seconds)
    {
        timespec times[2] {};
        times[0].tv_sec = time_t(seconds);
        times[0].tv_nsec = long((seconds - double(times[0].tv_sec)) * 1e9);
        times[1] = times[0];
        EXPECT_EQ(utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0) << path.toStdString();
    }
};

// A file's modification time in seconds.
inline double mtimeOf(const QString &path)
{
    struct stat info {};
    lstat(QFile::encodeName(path).constData(), &info);
    return double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
}

// Where the copy of `sourceFile` goes on `volumePath`.
inline QString targetOf(const QString &volumePath, const QString &sourceFile)
{
    return volumePath + QStringLiteral("/Vellory/") + platform::computerName() + sourceFile;
}

// Every item below `folder`, hidden ones included, as relative paths.
inline QStringList treeOf(const QString &folder)
{
    QStringList items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        items << it.next().mid(folder.size() + 1);
    }
    items.sort();
    return items;
}

// The temporary copies left below `folder`.
inline QStringList temporariesBelow(const QString &folder)
{
    return treeOf(folder).filter(QRegularExpression(QStringLiteral("(^|/)\\.vellory-partial-[0-9a-f]{16}\\.tmp$")));
}

inline QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A backup set for a volume, naming it by its UUID as choosing it would
// (a made-up one when nothing is mounted there).
inline BackupScript scriptFor(const QString &volumePath, const QStringList &sources, const QString &name = QStringLiteral("STICK"))
{
    BackupScript script;
    script.volumeName = name;
    const auto mounted = volumes::LinuxVolumeTable().volumeAt(volumePath);
    script.volumeUUID = mounted ? mounted->uuid : QStringLiteral("TEST-UUID");
    script.volumePath = volumePath;
    script.sourcePaths = sources;
    return script;
}

inline void setAutoEject(bool on)
{
    platform::Settings().setAutoEjectOnComplete(on);
}

// Runs with the eject at the close off unless a test turns it on.
class RunTest : public ::testing::Test
{
protected:
    void SetUp() override { setAutoEject(false); }
    void TearDown() override { setAutoEject(true); }

    SourceTree m_source;
};

// `size` bytes in a pattern that shifts with `seed`.
inline QByteArray patterned(qsizetype size, int seed)
{
    QByteArray content(size, Qt::Uninitialized);
    for (qsizetype b = 0; b < size; ++b) {
        content[b] = char((b * 131 + seed) & 0xff);
    }
    return content;
}
