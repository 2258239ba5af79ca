#include "backup/backupthread.h"

#include "hangingshare.h"
#include "jobtesting.h"
#include "platform/preferences.h"

#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <thread>

namespace {

BackupScript scriptFor(const QString &volumeName)
{
    BackupScript script;
    script.volumeName = volumeName;
    script.volumePath = QStringLiteral("/media/ann/") + volumeName;
    return script;
}

// The message part of a time-stamped line.
QString messageOf(const QString &line)
{
    return line.mid(11);
}

} // namespace

TEST(BackupThread, NewJobStartsAwaitingWithOneUnstampedLogLine)
{
    IconDescription icon;
    icon.names = {QStringLiteral("drive-removable-media")};
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), icon);
    EXPECT_EQ(job->progressTitle(), QStringLiteral("Backing up to \"STICK\""));
    EXPECT_EQ(job->progressMessage(), QStringLiteral("Preparing..."));
    EXPECT_EQ(job->progressValue(), 0.0f);
    EXPECT_EQ(job->status(), BackupThreadStatusValue::awaiting);
    EXPECT_FALSE(job->isRunning());
    EXPECT_EQ(job->log(), QStringList{QStringLiteral("Backup Initialized to STICK")});
    EXPECT_EQ(job->errorCount(), 0u);
    EXPECT_EQ(job->icon(), icon);
    EXPECT_EQ(job->script().volumeName, QStringLiteral("STICK"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(job->id())
                    .hasMatch())
        << job->id().toStdString();
}

TEST(BackupThread, JobsFromTheSameSetAreDifferentJobs)
{
    const BackupScript script = scriptFor(QStringLiteral("STICK"));
    EXPECT_NE(BackupThread::create(script, IconDescription())->id(), BackupThread::create(script, IconDescription())->id());
}

TEST(BackupThread, PlaceholderJobShowsTheDemoVolume)
{
    const auto job = BackupThread::createPlaceholder();
    EXPECT_EQ(job->progressTitle(), QStringLiteral("Backing up to Demo volume"));
    EXPECT_EQ(job->progressMessage(), QStringLiteral("Preparing..."));
    EXPECT_EQ(job->log(), QStringList{QStringLiteral("Backup Initialized")});
    EXPECT_EQ(job->status(), BackupThreadStatusValue::awaiting);
    EXPECT_EQ(job->script().scriptName, QStringLiteral("Untitled"));
}

TEST(BackupThread, SettersApplyOnTheMainThreadLaterNotInTheCall)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    QSignalSpy titles(job.get(), &BackupThread::progressTitleChanged);
    job->setProgressMessage(QStringLiteral("working"));
    job->setProgressTitle(QStringLiteral("Backup Process finished"));
    EXPECT_EQ(job->progressMessage(), QStringLiteral("Preparing..."));
    EXPECT_EQ(job->log().size(), 1);
    ASSERT_TRUE(waitUntil([&] { return titles.count() == 1; }));
    EXPECT_EQ(job->progressMessage(), QStringLiteral("working"));
    EXPECT_EQ(job->progressTitle(), QStringLiteral("Backup Process finished"));
    ASSERT_EQ(job->log().size(), 2) << "a title is also logged";
    EXPECT_EQ(messageOf(job->log().at(1)), QStringLiteral("Backup Process finished"));
}

TEST(BackupThread, LoggedLinesCarryTheElapsedSecondsColumn)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    job->appendLog(QStringLiteral("hello"));
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
    const QString line = job->log().at(1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ {0,8}[0-9][0-9.,]*  hello$")).match(line).hasMatch())
        << line.toStdString();
    EXPECT_EQ(line.indexOf(QStringLiteral("  hello")), 9);
}

TEST(BackupThread, ProgressValueIsClampedToZeroToOne)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    const QList<QPair<float, float>> cases = {{0.5f, 0.5f}, {1.7f, 1.0f}, {-0.2f, 0.0f}, {1.0f, 1.0f},
                                              {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
    for (const auto &[given, stored] : cases) {
        job->setProgressValue(given);
        ASSERT_TRUE(waitUntil([&] { return job->progressValue() == stored; })) << given << " stored as " << job->progressValue();
    }
}

TEST(BackupThread, IsRunningOnlyWhileScanningOrBackingUp)
{
    using S = BackupThreadStatusValue;
    for (const S status : {S::scanning, S::backingUp, S::error, S::completed, S::awaiting}) {
        const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
        job->setStatus(status);
        ASSERT_TRUE(waitUntil([&] { return job->status() == status; }));
        EXPECT_EQ(job->isRunning(), status == S::scanning || status == S::backingUp) << int(status);
    }
}

TEST(BackupThread, CancelledIsFinal)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    QSignalSpy running(job.get(), &BackupThread::isRunningChanged);
    job->setStatus(BackupThreadStatusValue::scanning);
    job->cancel();
    job->setStatus(BackupThreadStatusValue::backingUp);
    job->setStatus(BackupThreadStatusValue::completed);
    job->appendLog(QStringLiteral("sentinel"));
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
    EXPECT_EQ(job->status(), BackupThreadStatusValue::cancelled);
    EXPECT_EQ(job->statusForRun(), BackupThreadStatusValue::cancelled);
    EXPECT_EQ(running.count(), 2) << "on at scanning, off at cancelled";
}

TEST(BackupThread, ACompletedJobIsNotTurnedIntoACancelledOne)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    job->setStatus(BackupThreadStatusValue::scanning);
    job->setStatus(BackupThreadStatusValue::completed);
    job->cancel(); // the Cancel button pressed as the run ends
    job->appendLog(QStringLiteral("sentinel"));
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
    EXPECT_EQ(job->status(), BackupThreadStatusValue::completed);
}

TEST(BackupThread, ChangesFromAWorkerThreadArriveInCallOrderAndNoLineIsLost)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    QStringList appended;
    QList<BackupThreadStatusValue> statuses;
    QObject::connect(job.get(), &BackupThread::logLineAppended, [&](const QString &line) { appended << messageOf(line); });
    QObject::connect(job.get(), &BackupThread::statusChanged, [&] {
        statuses << job->status();
        // A status change is seen after every line logged before it.
        const QString expected = job->status() == BackupThreadStatusValue::scanning ? QStringLiteral("Backup Initialized to STICK")
            : job->status() == BackupThreadStatusValue::backingUp                   ? QStringLiteral("line 499")
                                                                                    : QStringLiteral("line 999");
        EXPECT_TRUE(job->log().last().endsWith(expected)) << job->log().last().toStdString();
    });
    constexpr int kLines = 1000;
    std::thread worker([&] {
        job->setStatus(BackupThreadStatusValue::scanning);
        for (int i = 0; i < kLines; ++i) {
            job->setProgressMessage(QStringLiteral("message %1").arg(i));
            job->setProgressValue(float(i + 1) / kLines);
            job->appendLog(QStringLiteral("line %1").arg(i));
            if (i == 499) {
                job->setStatus(BackupThreadStatusValue::backingUp);
            }
        }
        job->setErrorCount(7);
        job->setStatus(BackupThreadStatusValue::completed);
    });
    const bool arrived = waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; });
    worker.join();
    ASSERT_TRUE(arrived);
    ASSERT_EQ(appended.size(), kLines);
    ASSERT_EQ(job->log().size(), kLines + 1);
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(appended.at(i), QStringLiteral("line %1").arg(i));
        ASSERT_EQ(messageOf(job->log().at(i + 1)), QStringLiteral("line %1").arg(i));
    }
    EXPECT_EQ(statuses, (QList<BackupThreadStatusValue>{BackupThreadStatusValue::scanning, BackupThreadStatusValue::backingUp,
                                                         BackupThreadStatusValue::completed}));
    EXPECT_EQ(job->progressMessage(), QStringLiteral("message 999"));
    EXPECT_EQ(job->progressValue(), 1.0f);
    EXPECT_EQ(job->errorCount(), 7u);
}

TEST(BackupThread, RapidProgressUpdatesAreMergedForTheViews)
{
    const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    QSignalSpy values(job.get(), &BackupThread::progressValueChanged);
    constexpr int kUpdates = 20000;
    std::thread worker([&] {
        for (int i = 1; i <= kUpdates; ++i) {
            job->setProgressValue(float(i) / kUpdates);
        }
    });
    worker.join();
    ASSERT_TRUE(waitUntil([&] { return job->progressValue() == 1.0f; }));
    EXPECT_LT(values.count(), kUpdates / 10);
}

TEST(BackupThread, AJobLivesWhileAHolderRemainsAndIsDeletedAfterTheLast)
{
    auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
    QPointer<BackupThread> watched(job.get());
    std::weak_ptr<BackupThread> weak = job;
    std::shared_ptr<BackupThread> task = job; // as a running task would hold it
    job.reset();                              // the list lets go
    std::thread worker([task = std::move(task)]() mutable {
        task->appendLog(QStringLiteral("from the task"));
        task.reset(); // the task ends; the queued change still holds the job
    });
    worker.join();
    ASSERT_TRUE(waitUntil([&] { return weak.expired(); }));
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return watched.isNull();
    }));
}

TEST(BackupThread, LogLinesFollowTheUsersLocale)
{
    const QLocale saved;
    for (const auto &[locale, separator] : {std::pair{QLocale(QLocale::German, QLocale::Germany), QLatin1Char(',')},
                                            std::pair{QLocale(QLocale::English, QLocale::UnitedStates), QLatin1Char('.')}}) {
        QLocale::setDefault(locale);
        const auto job = BackupThread::create(scriptFor(QStringLiteral("STICK")), IconDescription());
        QThread::msleep(30); // a fraction of a second has passed
        job->appendLog(QStringLiteral("m"));
        ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
        const QString column = job->log().at(1).left(9).trimmed();
        EXPECT_TRUE(column.contains(separator)) << job->log().at(1).toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(BackupThread, JobsRunOnThreadsOfTheirOwnAndLeaveTheSharedPoolToShortTasks)
{
    HangingShare share;
    if (!share.isMounted()) {
        GTEST_SKIP() << share.skipReason().toStdString();
    }
    platform::preferences()->setValue(QStringLiteral("autoEjectOnComplete"), false);
    // The shared pool of a two-core machine: two threads free (beside any
    // that earlier tests' runs still hold).
    QThreadPool *pool = QThreadPool::globalInstance();
    const int poolThreads = pool->maxThreadCount();
    pool->setMaxThreadCount(pool->activeThreadCount() + 2);

    // Two jobs held in their scan by a share that does not answer.
    BackupScript held;
    held.sourcePaths = {share.hangingFolder()};
    std::vector<std::shared_ptr<BackupThread>> jobs;
    std::vector<std::unique_ptr<QSignalSpy>> finished;
    QTemporaryDir quickSource;
    BackupScript quick;
    quick.sourcePaths = {quickSource.path()};
    for (const BackupScript &script : {held, held, quick}) {
        jobs.push_back(BackupThread::create(script, IconDescription()));
        finished.push_back(std::make_unique<QSignalSpy>(jobs.back().get(), &BackupThread::runFinished));
        jobs.back()->start();
    }

    // A third job still runs, and short tasks still get a thread.
    EXPECT_TRUE(waitUntil([&] { return !finished[2]->isEmpty(); })) << "the third job never ran";
    std::atomic<bool> shortTaskRan = false;
    pool->start([&shortTaskRan] { shortTaskRan = true; });
    EXPECT_TRUE(waitUntil([&] { return shortTaskRan.load(); })) << "the shared pool was full of jobs";
    EXPECT_TRUE(finished[0]->isEmpty() && finished[1]->isEmpty()) << "the share did not hold the jobs";

    share.release();
    EXPECT_TRUE(waitUntil([&] { return !finished[0]->isEmpty() && !finished[1]->isEmpty(); }));
    pool->waitForDone();
    pool->setMaxThreadCount(poolThreads);
    platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));
}
