// The job: its changes from the run's threads, its status, its threads,
// and the counts and log lines it shows. Its life: BackupControllerJobRows.
#include "backup/backupthread.h"
#include "backup/displayformat.h"

#include "jobtesting.h"

#include <QLocale>
#include <QSignalSpy>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<BackupThread> newJob()
{
    BackupScript script;
    script.volumeName = u"STICK"_s;
    script.volumePath = u"/media/ann/STICK"_s;
    return BackupThread::create(script, IconDescription());
}

} // namespace

TEST(BackupThread, ChangesApplyLaterOnTheMainThreadLogLinesCarryTheSecondsInTheUsersLocaleAndProgressIsClamped)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a decimal comma
    const auto job = newJob();
    QThread::msleep(30); // a fraction of a second has passed
    job->setProgressMessage(u"working"_s);
    job->setProgressTitle(u"Backup Process finished"_s);
    EXPECT_EQ(job->progressMessage(), u"Preparing..."_s) << "applied in the call";
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; })) << "a title is also logged";
    QLocale::setDefault(saved);
    EXPECT_EQ(job->progressMessage(), u"working"_s);
    EXPECT_EQ(job->log().at(1).indexOf(u"  Backup Process finished"_s), 9) << job->log().at(1).toStdString();
    EXPECT_TRUE(job->log().at(1).left(9).trimmed().contains(u',')) << job->log().at(1).toStdString();
    const std::pair<float, float> cases[] = {
        {0.5f, 0.5f}, {1.7f, 1.0f}, {-0.2f, 0.0f}, {1.0f, 1.0f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
    for (const auto &[given, stored] : cases) {
        job->setProgressValue(given);
        ASSERT_TRUE(waitUntil([&] { return job->progressValue() == stored; })) << given << " -> " << job->progressValue();
    }
}

TEST(BackupThread, RunsOnlyWhileScanningOrBackingUpAndCancelledIsFinalButNeverAfterCompleted)
{
    using S = BackupThreadStatusValue;
    for (const S status : {S::scanning, S::backingUp, S::error, S::completed, S::awaiting}) {
        const auto job = newJob();
        job->setStatus(status);
        ASSERT_TRUE(waitUntil([&] { return job->status() == status; }));
        EXPECT_EQ(job->isRunning(), status == S::scanning || status == S::backingUp) << int(status);
    }
    for (const bool completedFirst : {false, true}) {
        const auto job = newJob();
        QSignalSpy running(job.get(), &BackupThread::isRunningChanged);
        job->setStatus(S::scanning);
        if (completedFirst) {
            job->setStatus(S::completed); // the Cancel button pressed as the run ends
        }
        job->cancel();
        job->setStatus(S::backingUp);
        job->setStatus(S::completed);
        job->appendLog(u"sentinel"_s);
        ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
        EXPECT_EQ(job->status(), completedFirst ? S::completed : S::cancelled);
        if (!completedFirst) {
            EXPECT_EQ(running.count(), 2) << "on at scanning, off at cancelled";
        }
    }
}

TEST(BackupThread, ChangesFromAWorkerThreadArriveInCallOrderAndNoLineIsLost)
{
    const auto job = newJob();
    QStringList appended;
    QList<BackupThreadStatusValue> statuses;
    QObject::connect(job.get(), &BackupThread::logLineAppended, [&](const QString &line) { appended << line.mid(11); });
    QObject::connect(job.get(), &BackupThread::statusChanged, [&] {
        statuses << job->status();
        // A status change is seen after every line logged before it.
        const QString expected = job->status() == BackupThreadStatusValue::scanning ? u"Backup Initialized to STICK"_s
            : job->status() == BackupThreadStatusValue::backingUp                   ? u"line 499"_s
                                                                                    : u"line 999"_s;
        EXPECT_TRUE(job->log().last().endsWith(expected)) << job->log().last().toStdString();
    });
    constexpr int kLines = 1000;
    std::thread worker([&] {
        job->setStatus(BackupThreadStatusValue::scanning);
        for (int i = 0; i < kLines; ++i) {
            job->setProgressMessage(u"message %1"_s.arg(i));
            job->setProgressValue(float(i + 1) / kLines);
            job->appendLog(u"line %1"_s.arg(i));
            if (i == 499) {
                job->setStatus(BackupThreadStatusValue::backingUp);
            }
        }
        job->setStatus(BackupThreadStatusValue::completed);
    });
    const bool arrived = waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; });
    worker.join();
    ASSERT_TRUE(arrived);
    ASSERT_EQ(appended.size(), kLines);
    ASSERT_EQ(job->log().size(), kLines + 1);
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(appended.at(i), u"line %1"_s.arg(i));
        ASSERT_EQ(job->log().at(i + 1).mid(11), u"line %1"_s.arg(i));
    }
    EXPECT_EQ(statuses, (QList<BackupThreadStatusValue>{BackupThreadStatusValue::scanning, BackupThreadStatusValue::backingUp,
                                                         BackupThreadStatusValue::completed}));
    EXPECT_EQ(job->progressMessage(), u"message 999"_s);

    // Rapid progress updates are merged for the views.
    QSignalSpy values(job.get(), &BackupThread::progressValueChanged);
    std::thread([&] {
        for (int i = 1; i <= 20000; ++i) {
            job->setProgressValue(float(i) / 40000);
        }
    }).join();
    ASSERT_TRUE(waitUntil([&] { return job->progressValue() == 0.5f; }));
    EXPECT_LT(values.count(), 2000);
}

TEST(BackupThread, JobsRunOnThreadsOfTheirOwnAndLeaveTheSharedPoolToShortTasks)
{
    // The shared pool of a two-core machine: two threads free (beside any
    // that earlier tests' runs still hold).
    QThreadPool *pool = QThreadPool::globalInstance();
    const int poolThreads = pool->maxThreadCount();
    pool->setMaxThreadCount(pool->activeThreadCount() + 2);

    std::promise<void> release;
    JobKind held;
    held.work = [released = release.get_future().share()](BackupThread &) { released.wait(); };
    JobKind quick;
    quick.work = [](BackupThread &) {};
    std::vector<std::shared_ptr<BackupThread>> jobs;
    std::vector<std::unique_ptr<QSignalSpy>> finished;
    for (const JobKind &kind : {held, held, quick}) {
        jobs.push_back(BackupThread::create(BackupScript(), IconDescription(), kind));
        finished.push_back(std::make_unique<QSignalSpy>(jobs.back().get(), &BackupThread::runFinished));
        jobs.back()->start();
    }
    EXPECT_TRUE(waitUntil([&] { return !finished[2]->isEmpty(); })) << "the third job never ran";
    std::atomic<bool> shortTaskRan = false;
    pool->start([&shortTaskRan] { shortTaskRan = true; });
    EXPECT_TRUE(waitUntil([&] { return shortTaskRan.load(); })) << "the shared pool was full of jobs";
    EXPECT_TRUE(finished[0]->isEmpty() && finished[1]->isEmpty()) << "the jobs were not held";

    release.set_value();
    EXPECT_TRUE(waitUntil([&] { return !finished[0]->isEmpty() && !finished[1]->isEmpty(); }));
    pool->waitForDone();
    pool->setMaxThreadCount(poolThreads);
}

TEST(DisplayFormat, CountsBytesAndLogLinesFollowTheLocale)
{
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    // Counts are the locale's own grouping: only the locale handed over is checked.
    EXPECT_EQ(displayformat::count(1234567, de), u"1.234.567"_s);
    EXPECT_EQ(displayformat::count(18446744073709551615ULL, en), u"18,446,744,073,709,551,615"_s);
    // Decimal units; zero spelt out; rounding may move up a unit.
    const std::tuple<quint64, QLocale, QString> bytes[] = {
        {0, en, u"Zero KB"_s}, {1, en, u"1 byte"_s}, {999, en, u"999 bytes"_s}, {1000, en, u"1.0 KB"_s},
        {1234567, en, u"1.2 MB"_s}, {999950, en, u"1.0 MB"_s}, {31914983424ULL, en, u"31.9 GB"_s},
        {18446744073709551615ULL, en, u"18.4 EB"_s}, {1234567, de, u"1,2 MB"_s}};
    for (const auto &[count, locale, text] : bytes) {
        EXPECT_EQ(displayformat::byteCount(count, locale), text) << count;
    }
    // The seconds right-aligned in nine characters, the last nine kept.
    const std::tuple<double, QLocale, QString> lines[] = {
        {2.5, en, u"      2.5"_s}, {12, en, u"       12"_s}, {3.14159, en, u"     3.14"_s}, {0.004, en, u"        0"_s},
        {-3, en, u"        0"_s}, {1234.5, en, u"  1,234.5"_s}, {1234.5, de, u"  1.234,5"_s},
        {10000000, en, u"0,000,000"_s}, {10000000, de, u"0.000.000"_s}, {99.999, de, u"      100"_s}};
    for (const auto &[seconds, locale, column] : lines) {
        EXPECT_EQ(displayformat::logLine(seconds, u"Scanning /home..."_s, locale), column + u"  Scanning /home..."_s) << seconds;
    }
}
