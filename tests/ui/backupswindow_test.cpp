// The Backups window, its rows and the log windows.
#include "viewtesting.h"

#include "backup/backupthread.h"
#include "backup/backupthreadlistmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QQuickItem>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using Status = BackupThreadStatusValue;

// A job that is listed but never run, so only the test moves it.
std::shared_ptr<BackupThread> listJob(ViewFixture &f, const QString &volumeName = QStringLiteral("STICK"))
{
    BackupScript script;
    script.volumeName = volumeName;
    auto job = BackupThread::create(script, f.controller->missingVolumeIcon());
    f.controller->threads()->prepend(job);
    return job;
}

void applyStatus(BackupThread &job, Status status)
{
    job.setStatus(status);
    ASSERT_TRUE(ViewFixture::waitFor([&] { return job.status() == status; }));
    ViewFixture::settle(20);
}

QQuickItem *row(const ViewFixture &f, const BackupThread &job, QObject *root = nullptr)
{
    return f.item(QStringLiteral("threadRow:") + job.id(), root);
}

QObject *logView(QQuickWindow *window)
{
    return window ? window->findChild<QObject *>(QStringLiteral("backupLogView")) : nullptr;
}

// What the log window shows: its lines joined with line feeds.
QString logText(QQuickWindow *window)
{
    QObject *view = logView(window);
    if (!view) {
        return QStringLiteral("<no log view>");
    }
    QVariant text;
    QMetaObject::invokeMethod(view, "text", Q_RETURN_ARG(QVariant, text));
    return text.toString();
}

} // namespace

TEST(ThreadView, TheBarFollowsTheStatusAndCancelTurnsIntoCloseAtOnce)
{
    ViewFixture f;
    f.start();
    auto job = listJob(f);
    ASSERT_TRUE(f.load(QStringLiteral("ThreadsListView.qml"), {}, QSize(600, 300)));
    QQuickItem *jobRow = row(f, *job);
    ASSERT_TRUE(jobRow);
    QQuickItem *bar = f.item(QStringLiteral("threadProgress"), jobRow);
    QQuickItem *button = f.item(QStringLiteral("cancelCloseButton"), jobRow);
    ASSERT_TRUE(bar && button);
    EXPECT_EQ(f.item(QStringLiteral("threadTitle"), jobRow)->property("text").toString(),
              QStringLiteral("Backing up to \"STICK\""));
    EXPECT_EQ(f.item(QStringLiteral("threadMessage"), jobRow)->property("text").toString(),
              QStringLiteral("Preparing..."));

    // Awaiting: no bar, " Close ", buttons pushed to the trailing edge.
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Close "));
    EXPECT_TRUE(f.item(QStringLiteral("threadSpacer"), jobRow)->isVisible());

    applyStatus(*job, Status::scanning);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->property("indeterminate").toBool());
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Cancel "));
    EXPECT_FALSE(f.item(QStringLiteral("threadSpacer"), jobRow)->isVisible());

    job->setProgressValue(0.4f);
    job->setProgressMessage(QStringLiteral("Copying a.txt"));
    applyStatus(*job, Status::backingUp);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->property("indeterminate").toBool());
    EXPECT_NEAR(bar->property("value").toReal(), 0.4, 1e-6);
    EXPECT_EQ(f.item(QStringLiteral("threadMessage"), jobRow)->property("text").toString(),
              QStringLiteral("Copying a.txt"));

    // " Cancel ": the row changes as soon as the status is applied, without
    // the run having to stop.
    ViewFixture::click(button);
    ASSERT_TRUE(ViewFixture::waitFor([&] { return job->status() == Status::cancelled; }));
    ViewFixture::settle(20);
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Close "));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(job->log().size(), 1); // nothing logged
    EXPECT_EQ(f.controller->threads()->count(), 1);
}

TEST(ThreadView, ClosingTheLastRowClosesTheBackupsWindowAndOnlyThen)
{
    ViewFixture f;
    f.start();
    auto older = listJob(f, QStringLiteral("OLD"));
    auto newer = listJob(f, QStringLiteral("NEW"));
    applyStatus(*older, Status::completed);
    applyStatus(*newer, Status::cancelled);

    QQuickWindow *window = f.router->openWindow(QStringLiteral("backups"));
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->title(), QStringLiteral("Backups"));

    // Newest first.
    QQuickItem *list = f.item(QStringLiteral("threadsList"), window->contentItem());
    ASSERT_TRUE(list);
    auto *model = f.controller->threads();
    EXPECT_EQ(model->jobAt(0).get(), newer.get());

    ViewFixture::click(f.item(QStringLiteral("cancelCloseButton"), row(f, *newer, window->contentItem())));
    EXPECT_EQ(model->count(), 1);
    ViewFixture::settle(100);
    EXPECT_TRUE(window->isVisible());

    ViewFixture::click(f.item(QStringLiteral("cancelCloseButton"), row(f, *older, window->contentItem())));
    EXPECT_EQ(model->count(), 0);
    EXPECT_TRUE(ViewFixture::waitFor([&] { return !window->isVisible(); }));

    // Asked for again, the window is the same one, empty.
    EXPECT_EQ(f.router->openWindow(QStringLiteral("backups")), window);
}

TEST(BackupLogWindow, AnUnknownIdShowsExactlyThePlaceholderLog)
{
    ViewFixture f;
    f.start();
    QQuickWindow *window = f.router->openLogWindow(QStringLiteral("00000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->title(), QStringLiteral("Backup Log"));
    ViewFixture::settle();
    EXPECT_EQ(logText(window), QStringLiteral("Backup Initialized"));
    EXPECT_EQ(logView(window)->property("lineCount").toInt(), 1);
}

TEST(BackupLogWindow, OneWindowPerJobAndTheSameOneForTheSameJob)
{
    ViewFixture f;
    f.start();
    auto first = listJob(f, QStringLiteral("ONE"));
    auto second = listJob(f, QStringLiteral("TWO"));

    QQuickWindow *one = f.router->openLogWindow(first->id());
    QQuickWindow *two = f.router->openLogWindow(second->id());
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    EXPECT_EQ(f.router->openLogWindow(first->id()), one);
    EXPECT_EQ(f.router->logWindowCount(), 2);
    ViewFixture::settle();
    EXPECT_EQ(logText(one), QStringLiteral("Backup Initialized to ONE"));
    EXPECT_EQ(logText(two), QStringLiteral("Backup Initialized to TWO"));

    // The row's "Log" button asks for the same window.
    ASSERT_TRUE(f.load(QStringLiteral("ThreadsListView.qml"), {}, QSize(600, 300)));
    ViewFixture::click(f.item(QStringLiteral("logButton"), row(f, *first)));
    EXPECT_EQ(f.router->logWindowCount(), 2);
    EXPECT_EQ(f.router->logWindow(first->id()), one);

    // A closed log window is built afresh next time.
    one->close();
    EXPECT_TRUE(ViewFixture::waitFor([&] { return f.router->logWindowCount() == 1; }));
    QQuickWindow *again = f.router->openLogWindow(first->id());
    ASSERT_TRUE(again);
    EXPECT_EQ(f.router->logWindowCount(), 2);
    ViewFixture::settle();
    EXPECT_EQ(logText(again), QStringLiteral("Backup Initialized to ONE"));
}

TEST(BackupLogWindow, FollowsItsJobWithoutDroppingALineAlsoAfterItsRowIsClosed)
{
    ViewFixture f;
    f.start();
    auto job = listJob(f, QStringLiteral("STICK"));
    QQuickWindow *window = f.router->openLogWindow(job->id());
    ASSERT_TRUE(window);

    // A run logs from its own thread, faster than the screen can show.
    constexpr int kLines = 5000;
    std::thread run([&job] {
        for (int i = 0; i < kLines; ++i) {
            job->appendLog(QStringLiteral("line %1").arg(i));
        }
    });
    run.join();
    ASSERT_TRUE(ViewFixture::waitFor([&] { return job->log().size() == kLines + 1; }));
    ViewFixture::settle();

    const QStringList shown = logText(window).split(QLatin1Char('\n'));
    ASSERT_EQ(shown.size(), kLines + 1);
    EXPECT_EQ(shown, job->log());
    EXPECT_TRUE(shown.last().endsWith(QStringLiteral("  line 4999")));

    // The row is closed; the window keeps showing the job and its new lines.
    f.controller->threads()->removeJob(job->id());
    job->appendLog(QStringLiteral("Backup Finished"));
    ASSERT_TRUE(ViewFixture::waitFor([&] { return logText(window).endsWith(QStringLiteral("  Backup Finished")); }));
    EXPECT_EQ(logText(window).count(QLatin1Char('\n')), kLines + 1);
}

TEST(BackupLogWindow, TextIsSelectedWithTheMouseAndCopiedWithTheKeyboard)
{
    ViewFixture f;
    f.start();
    auto job = listJob(f, QStringLiteral("STICK"));
    job->appendLog(QStringLiteral("Scanning /home/ann/Notes..."));
    ASSERT_TRUE(ViewFixture::waitFor([&] { return job->log().size() == 2; }));
    QQuickWindow *window = f.router->openLogWindow(job->id());
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QObject *view = logView(window);
    ASSERT_TRUE(view);

    // Everything, from the keyboard.
    QGuiApplication::clipboard()->clear();
    window->requestActivate();
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), job->log().join(QLatin1Char('\n')));

    // A drag over the first line from its first character selects part of it.
    auto *lines = qobject_cast<QQuickItem *>(window->findChild<QObject *>(QStringLiteral("logLines")));
    ASSERT_TRUE(lines);
    const qreal charWidth = view->property("charWidth").toReal();
    const qreal lineHeight = view->property("lineHeight").toReal();
    const int padding = view->property("padding").toInt();
    const QPointF origin = lines->mapToScene(QPointF(0, 0));
    const int y = int(origin.y() + lines->property("topMargin").toReal() + lineHeight / 2);
    const QPoint start(int(origin.x() + padding + 0.2 * charWidth), y);
    const QPoint end(int(origin.x() + padding + 6.2 * charWidth), y);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(window, end);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, end);
    QVariant selected;
    QMetaObject::invokeMethod(view, "selectedText", Q_RETURN_ARG(QVariant, selected));
    EXPECT_EQ(selected.toString(), QStringLiteral("Backup"));
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Backup"));
}

TEST(BackupLogWindow, AHundredThousandLinesArriveInBatchesAndNoneIsDropped)
{
    ViewFixture f;
    f.start();
    auto job = listJob(f, QStringLiteral("STICK"));
    job->setStatus(Status::backingUp);
    ASSERT_TRUE(f.load(QStringLiteral("ThreadsListView.qml"), {}, QSize(600, 300)));
    QQuickWindow *window = f.router->openLogWindow(job->id());
    ASSERT_TRUE(window);
    auto *lines = window->findChild<QObject *>(QStringLiteral("logLines"));
    ASSERT_TRUE(lines);
    auto *model = qobject_cast<QAbstractItemModel *>(lines->property("model").value<QObject *>());
    ASSERT_TRUE(model);
    QSignalSpy insertions(model, &QAbstractItemModel::rowsInserted);
    int progressShown = 0;
    QObject::connect(job.get(), &BackupThread::progressValueChanged, [&] { ++progressShown; });

    // A run that logs and reports progress for every one of 100,000 files.
    constexpr int kFiles = 100'000;
    std::thread run([&job] {
        for (int i = 0; i < kFiles; ++i) {
            job->appendLog(QStringLiteral("Error: item not found: /home/ann/f%1").arg(i));
            job->setProgressValue(float(i) / kFiles);
            job->setProgressMessage(QStringLiteral("Backing up \"f%1\"...").arg(i));
        }
    });
    const bool arrived = ViewFixture::waitFor([&] { return model->rowCount() == kFiles + 1; }, 60'000);
    run.join();
    ASSERT_TRUE(arrived) << model->rowCount();

    // Every line, in order; far fewer insertions and progress updates than lines.
    EXPECT_EQ(logText(window), job->log().join(QLatin1Char('\n')));
    EXPECT_LT(insertions.size(), kFiles / 10);
    EXPECT_LT(progressShown, kFiles / 10);
    EXPECT_EQ(f.item(QStringLiteral("threadMessage"), row(f, *job))->property("text").toString(),
              job->progressMessage());
}
