// The Backups window, its rows and the log windows.
#include "apptesting.h"

#include "backup/backupthread.h"
#include "backup/backupthreadlistmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <thread>

namespace {

using Status = BackupThreadStatusValue;

// A job that is listed but never run, so only the test moves it.
std::shared_ptr<BackupThread> listJob(BackupController &controller, const QString &volumeName = QStringLiteral("STICK"))
{
    BackupScript script;
    script.volumeName = volumeName;
    auto job = BackupThread::create(script, controller.missingVolumeIcon());
    controller.threads()->prepend(job);
    return job;
}

void applyStatus(BackupThread &job, Status status)
{
    job.setStatus(status);
    ASSERT_TRUE(waitUntil([&] { return job.status() == status; }));
    QTest::qWait(20);
}

// What a log window shows: its lines joined with line feeds.
QString logText(QQuickWindow *window)
{
    QObject *view = window ? window->findChild<QObject *>(QStringLiteral("backupLogView")) : nullptr;
    QVariant text = QStringLiteral("<no log view>");
    if (view) {
        QMetaObject::invokeMethod(view, "text", Q_RETURN_ARG(QVariant, text));
    }
    return text.toString();
}

} // namespace

// A row's bar follows its job's status and " Cancel " turns into " Close "
// at once; "Log" opens the job's log window; closing the last row closes the
// window. The router gives no window for an unknown name or a broken file.
TEST(BackupsWindow, RowsFollowTheirJobAndClosingTheLastRowClosesTheWindow)
{
    AppFixture f;
    ASSERT_TRUE(f.launch());
    WindowRouter &router = f.app->router();
    auto older = listJob(*f.app->controller(), QStringLiteral("OLD"));
    applyStatus(*older, Status::completed);
    auto job = listJob(*f.app->controller());
    QQuickWindow *window = router.openWindow(QStringLiteral("backups"));
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    auto row = [window](const BackupThread &of) {
        return AppFixture::item(window->contentItem(), QStringLiteral("threadRow:") + of.id());
    };
    QQuickItem *jobRow = row(*job);
    QQuickItem *bar = AppFixture::item(jobRow, QStringLiteral("threadProgress"));
    QQuickItem *button = AppFixture::item(jobRow, QStringLiteral("cancelCloseButton"));
    ASSERT_TRUE(jobRow && bar && button);
    EXPECT_EQ(AppFixture::text(jobRow, QStringLiteral("threadTitle")), QStringLiteral("Backing up to \"STICK\""));

    // Awaiting: no bar, " Close ", buttons pushed to the trailing edge.
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Close "));
    EXPECT_TRUE(AppFixture::item(jobRow, QStringLiteral("threadSpacer"))->isVisible());

    applyStatus(*job, Status::scanning);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->property("indeterminate").toBool());
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Cancel "));
    EXPECT_FALSE(AppFixture::item(jobRow, QStringLiteral("threadSpacer"))->isVisible());

    job->setProgressValue(0.4f);
    job->setProgressMessage(QStringLiteral("Copying a.txt"));
    applyStatus(*job, Status::backingUp);
    EXPECT_FALSE(bar->property("indeterminate").toBool());
    EXPECT_NEAR(bar->property("value").toReal(), 0.4, 1e-6);
    EXPECT_EQ(AppFixture::text(jobRow, QStringLiteral("threadMessage")), QStringLiteral("Copying a.txt"));

    // " Cancel " changes the row as soon as the status is applied, without
    // the run having to stop, and logs nothing.
    AppFixture::click(button);
    ASSERT_TRUE(waitUntil([&] { return job->status() == Status::cancelled; }));
    QTest::qWait(20);
    EXPECT_EQ(button->property("text").toString(), QStringLiteral(" Close "));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(job->log().size(), 1);

    AppFixture::click(AppFixture::item(jobRow, QStringLiteral("logButton")));
    EXPECT_TRUE(router.logWindow(job->id()));
    EXPECT_EQ(router.logWindowCount(), 1);

    auto *model = f.app->controller()->threads();
    AppFixture::click(button);
    EXPECT_EQ(model->count(), 1);
    QTest::qWait(100);
    EXPECT_TRUE(window->isVisible());
    AppFixture::click(AppFixture::item(row(*older), QStringLiteral("cancelCloseButton")));
    EXPECT_EQ(model->count(), 0);
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(router.openWindow(QStringLiteral("backups")), window);

    EXPECT_EQ(router.openWindow(QStringLiteral("nowhere")), nullptr);
    QTemporaryDir dir;
    QFile broken(dir.filePath(QStringLiteral("Broken.qml")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("import QtQuick\nItem {}\n") > 0 && broken.flush());
    router.setWindowSource(QStringLiteral("broken"), QUrl::fromLocalFile(broken.fileName()));
    EXPECT_EQ(router.openWindow(QStringLiteral("broken")), nullptr);
    EXPECT_EQ(router.window(QStringLiteral("broken")), nullptr);
}

// One window per job, built afresh once closed, and a placeholder for an
// unknown id. Its text is selected with the mouse and copied with the
// keyboard; it follows a run that logs from its own thread for each of
// 100,000 files without dropping a line, also after the job's row is closed.
TEST(BackupLogWindow, OneWindowPerJobFollowsItWithoutDroppingALineAndCopiesItsText)
{
    AppFixture f;
    ASSERT_TRUE(f.launch());
    WindowRouter &router = f.app->router();
    auto job = listJob(*f.app->controller());
    QQuickWindow *one = router.openLogWindow(job->id());
    QQuickWindow *unknown = router.openLogWindow(QStringLiteral("00000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(one && unknown);
    EXPECT_EQ(router.openLogWindow(job->id()), one);
    EXPECT_EQ(router.logWindowCount(), 2);
    QTest::qWait(50);
    EXPECT_EQ(logText(one), QStringLiteral("Backup Initialized to STICK"));
    EXPECT_EQ(logText(unknown), QStringLiteral("Backup Initialized"));
    one->close();
    EXPECT_TRUE(waitUntil([&] { return router.logWindowCount() == 1; }));

    job->appendLog(QStringLiteral("Scanning /home/ann/Notes..."));
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
    QQuickWindow *window = router.openLogWindow(job->id());
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    QObject *view = window->findChild<QObject *>(QStringLiteral("backupLogView"));
    auto *lines = qobject_cast<QQuickItem *>(window->findChild<QObject *>(QStringLiteral("logLines")));
    ASSERT_TRUE(view && lines);
    QGuiApplication::clipboard()->clear();
    window->requestActivate();
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), job->log().join(QLatin1Char('\n')));

    // A drag over the first line from its first character selects part of it.
    const qreal charWidth = view->property("charWidth").toReal();
    const qreal left = lines->mapToScene(QPointF(0, 0)).x() + view->property("padding").toInt();
    const int y = int(lines->mapToScene(QPointF(0, 0)).y() + lines->property("topMargin").toReal()
                      + view->property("lineHeight").toReal() / 2);
    const QPoint start(int(left + 0.2 * charWidth), y);
    const QPoint end(int(left + 6.2 * charWidth), y);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(window, end);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, end);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Backup"));

    auto *model = qobject_cast<QAbstractItemModel *>(lines->property("model").value<QObject *>());
    ASSERT_TRUE(model);
    constexpr int kFiles = 100'000;
    std::thread run([&job] {
        for (int i = 0; i < kFiles; ++i) {
            job->appendLog(QStringLiteral("Error: item not found: /home/ann/f%1").arg(i));
        }
    });
    const bool arrived = waitUntil([&] { return model->rowCount() == kFiles + 2; }, 60'000);
    run.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(logText(window), job->log().join(QLatin1Char('\n')));

    f.app->controller()->threads()->removeJob(job->id());
    job->appendLog(QStringLiteral("Backup Finished"));
    ASSERT_TRUE(waitUntil([&] { return logText(window).endsWith(QStringLiteral("  Backup Finished")); }));
    EXPECT_EQ(logText(window).count(QLatin1Char('\n')), kFiles + 2);
}
