// The application: start-up and its launch tasks, the one controller every
// window shares, the commands of the menus and the toolbar, the options and
// the dark palette.
#include "apptesting.h"

#include "Moraine/kitalert.h"
#include "app/backupnotifications.h"
#include "app/desktopstyle.h"
#include "app/quitguard.h"
#include "app/launchoptions.h"
#include "backup/backupthread.h"
#include "platform/buildinfo.h"
#include "platform/computername.h"

#include <QApplication>
#include <QClipboard>
#include <QAbstractButton>
#include <QMessageBox>
#include <QDir>
#include <QGuiApplication>
#include <QPixmapCache>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <thread>

using moraine::NIMBLite;

namespace {

using Status = BackupThreadStatusValue;

// A job that is listed but never run, so only the test moves it.
std::shared_ptr<BackupThread> listJob(BackupController &controller)
{
    BackupScript script;
    script.volumeName = QStringLiteral("STICK");
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
    return AppFixture::evaluate(window->findChild<QObject *>(QStringLiteral("backupLogView")), QStringLiteral("text()")).toString();
}

} // namespace

// One launched application: its launch tasks, the maker's pages, the
// feedback mail, the share sheet, the About box, the settings window, "Open
// Backup Folder", the Backups window and its rows, and the log windows.
TEST(VelloryApp, LaunchRunsItsTasksOnceAndEveryCommandReachesItsWindowOrPage)
{
    AppFixture f;
    QTemporaryDir stick;
    const QString uuid = QStringLiteral("1A2B-3C4D");
    f.storeSet(setWithDestination(uuid, QStringLiteral("STICK"), stick.path()));
    f.settings->setAutoBackupOnConnect(false);
    VelloryApp &app = f.start();
    QSignalSpy launched(&app.delegate(), &AppDelegate::launchTasksStarted);
    const QString cached = QStringLiteral("before the main window");
    QPixmapCache::insert(cached, QPixmap(8, 8));
    ASSERT_TRUE(app.launch());
    QQuickWindow *window = f.mainWindow();
    ASSERT_TRUE(window && window->isVisible());
    // Not before the event loop has run: launching has not finished yet.
    EXPECT_EQ(launched.size(), 0);
    ASSERT_TRUE(launched.wait(2000));
    QTest::qWait(100); // a second launch or an alert would be queued
    EXPECT_EQ(launched.size(), 1);
    // Once drawn, the window lets go of what loading it left in the pixmap
    // cache (the full-size files of its theme icons).
    EXPECT_TRUE(waitUntil([&] {
        QPixmap found;
        return !QPixmapCache::find(cached, &found);
    }));

    // The bundled key is set and one silent check runs; each "Check for
    // updates..." makes its own.
    ASSERT_TRUE(app.updateServices().publicKey());
    EXPECT_EQ(app.updateServices().updatePageURL(), platform::buildinfo::updatePageUrl());
    EXPECT_EQ(f.checkKinds, QStringList{QStringLiteral("silent")});
    AppFixture::trigger(window, QStringLiteral("checkForUpdatesItem"));
    AppFixture::trigger(window, QStringLiteral("checkForUpdatesItem"));
    EXPECT_EQ(f.checkKinds, (QStringList{QStringLiteral("silent"), QStringLiteral("manual"), QStringLiteral("manual")}));

    AppFixture::trigger(window, QStringLiteral("websiteItem"));
    AppFixture::trigger(window, QStringLiteral("newsItem"));
    AppFixture::click(AppFixture::item(window, QStringLiteral("makerButton")));
    const QUrl website(platform::buildinfo::makerWebsite());
    EXPECT_EQ(f.browser.opened, (QList<QUrl>{website, QUrl(platform::buildinfo::newsPage()), website}));

    // The feedback mail, made on a background task, to the support address.
    f.browser.opened.clear();
    AppFixture::trigger(window, QStringLiteral("contactItem"));
    ASSERT_TRUE(waitUntil([&] { return !f.browser.opened.isEmpty(); }, 15000));
    EXPECT_EQ(f.browser.opened.first().path(), platform::buildinfo::supportEmail());

    // The share sheet opens from the toolbar and the menu, fresh each time:
    // an edit lives only as long as the sheet.
    QObject *sheet = AppFixture::find(window, QStringLiteral("shareSheet"));
    ASSERT_TRUE(sheet);
    AppFixture::click(AppFixture::item(window, QStringLiteral("shareButton")));
    ASSERT_TRUE(waitUntil([&] { return sheet->property("visible").toBool(); }));
    QObject *panel = AppFixture::find(sheet, QStringLiteral("sharePanel"));
    QObject *editor = AppFixture::find(panel, QStringLiteral("messageEditor"));
    ASSERT_TRUE(panel && editor);
    EXPECT_EQ(panel->property("targetURL").toString(), platform::buildinfo::productPage());
    editor->setProperty("text", QStringLiteral("Edited"));
    AppFixture::click(AppFixture::item(panel, QStringLiteral("closeButton")));
    ASSERT_TRUE(waitUntil([&] { return !app.showShareSheet(); }));
    AppFixture::trigger(window, QStringLiteral("shareLoveItem"));
    ASSERT_TRUE(waitUntil([&] { return sheet->property("visible").toBool(); }));
    EXPECT_EQ(AppFixture::text(sheet, QStringLiteral("messageEditor")), AppCommands::shareMessage());
    app.setShowShareSheet(false);

    AppFixture::trigger(window, QStringLiteral("aboutItem"));
    QObject *about = AppFixture::find(window, QStringLiteral("aboutDialog"));
    ASSERT_TRUE(about && waitUntil([&] { return about->property("visible").toBool(); }) && moraine::versionString());
    EXPECT_TRUE(AppFixture::text(about, QStringLiteral("aboutVersion")).contains(*moraine::versionString()));

    // The settings window's "Start at login" switch writes the user's
    // autostart entry.
    AppFixture::trigger(window, QStringLiteral("settingsItem"));
    QQuickWindow *settings = app.router().window(QStringLiteral("settings"));
    QObject *loginSwitch = AppFixture::find(settings, QStringLiteral("startAtLoginSwitch"));
    ASSERT_TRUE(settings && settings->isVisible() && loginSwitch);
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/com.brindlewick.vellory2.desktop");
    QFile::remove(entry);
    EXPECT_FALSE(loginSwitch->property("checked").toBool());
    loginSwitch->setProperty("checked", true);
    QMetaObject::invokeMethod(loginSwitch, "toggled");
    EXPECT_TRUE(QFile::exists(entry));
    QFile::remove(entry);

    // "Open Backup Folder" only while the destination is connected: the
    // volume before the first backup, then this computer's folder.
    const auto canOpen = [window] { return AppFixture::enabled(window, QStringLiteral("openBackupFolderItem")); };
    EXPECT_FALSE(canOpen());
    f.monitor.mount(fakeStick(uuid, QStringLiteral("STICK"), stick.path()));
    ASSERT_TRUE(waitUntil(canOpen));
    AppFixture::trigger(window, QStringLiteral("openBackupFolderItem"));
    const QString folder = stick.path() + QStringLiteral("/Vellory/") + platform::computerName();
    ASSERT_TRUE(QDir().mkpath(folder));
    AppFixture::trigger(window, QStringLiteral("openBackupFolderItem"));
    EXPECT_EQ(f.browser.revealed, (QStringList{stick.path(), folder}));
    ASSERT_TRUE(f.monitor.unmount(stick.path()));
    EXPECT_TRUE(waitUntil([&] { return !canOpen(); }));

    // The Backups window: a row's bar follows its job's status, " Cancel "
    // turns into " Close " at once, and "Log" opens the job's log window.
    BackupController *controller = app.controller();
    WindowRouter &router = app.router();
    auto older = listJob(*controller);
    applyStatus(*older, Status::completed);
    auto job = listJob(*controller);
    QQuickWindow *backups = router.openWindow(QStringLiteral("backups"));
    ASSERT_TRUE(backups && QTest::qWaitForWindowExposed(backups));
    auto row = [backups](const BackupThread &of) {
        return AppFixture::item(backups->contentItem(), QStringLiteral("threadRow:") + of.id());
    };
    QQuickItem *jobRow = row(*job);
    QQuickItem *bar = AppFixture::item(jobRow, QStringLiteral("threadProgress"));
    QQuickItem *button = AppFixture::item(jobRow, QStringLiteral("cancelCloseButton"));
    ASSERT_TRUE(jobRow && bar && button);
    EXPECT_EQ(AppFixture::text(jobRow, QStringLiteral("threadTitle")), QStringLiteral("Backing up to \"STICK\""));
    // Awaiting: no bar, " Close ", buttons pushed to the trailing edge.
    const auto rowShows = [&](bool barShown, const char *buttonText) {
        EXPECT_EQ(bar->isVisible(), barShown);
        EXPECT_EQ(button->property("text").toString(), QString::fromLatin1(buttonText));
        EXPECT_EQ(AppFixture::item(jobRow, QStringLiteral("threadSpacer"))->isVisible(), !barShown);
    };
    rowShows(false, " Close ");
    applyStatus(*job, Status::scanning);
    rowShows(true, " Cancel ");
    EXPECT_TRUE(bar->property("indeterminate").toBool());
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
    rowShows(false, " Close ");
    EXPECT_EQ(job->log().size(), 1);

    // One log window per job, built afresh once closed, and a placeholder
    // for an unknown id.
    AppFixture::click(AppFixture::item(jobRow, QStringLiteral("logButton")));
    QQuickWindow *one = router.logWindow(job->id());
    QQuickWindow *unknown = router.openLogWindow(QStringLiteral("00000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(one && unknown);
    EXPECT_EQ(router.openLogWindow(job->id()), one);
    QTest::qWait(50);
    EXPECT_EQ(logText(unknown), QStringLiteral("Backup Initialized"));
    one->close();
    EXPECT_TRUE(waitUntil([&] { return router.logWindowCount() == 1; }));
    job->appendLog(QStringLiteral("Scanning /home/ann/Notes..."));
    ASSERT_TRUE(waitUntil([&] { return job->log().size() == 2; }));
    QQuickWindow *log = router.openLogWindow(job->id());
    ASSERT_TRUE(log && QTest::qWaitForWindowExposed(log));
    // Its text is selected with the mouse and copied with the keyboard; it
    // follows a run logging 100,000 lines from its own thread without a loss.
    QObject *view = log->findChild<QObject *>(QStringLiteral("backupLogView"));
    auto *lines = qobject_cast<QQuickItem *>(log->findChild<QObject *>(QStringLiteral("logLines")));
    ASSERT_TRUE(view && lines);
    QGuiApplication::clipboard()->clear();
    log->requestActivate();
    const qreal charWidth = view->property("charWidth").toReal();
    const qreal left = lines->mapToScene(QPointF(0, 0)).x() + view->property("padding").toInt();
    const int y = int(lines->mapToScene(QPointF(0, 0)).y() + lines->property("topMargin").toReal()
                      + view->property("lineHeight").toReal() / 2);
    const QPoint start(int(left + 0.2 * charWidth), y);
    const QPoint end(int(left + 6.2 * charWidth), y);
    QTest::mousePress(log, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(log, end);
    QTest::mouseRelease(log, Qt::LeftButton, Qt::NoModifier, end);
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Backup"));

    auto *model = qobject_cast<QAbstractItemModel *>(lines->property("model").value<QObject *>());
    ASSERT_TRUE(model);
    const int before = model->rowCount();
    constexpr int kFiles = 100'000;
    std::thread run([&job] {
        for (int i = 0; i < kFiles; ++i) {
            job->appendLog(QStringLiteral("Error: item not found: /home/ann/f%1").arg(i));
        }
    });
    const bool arrived = waitUntil([&] { return model->rowCount() == before + kFiles; }, 60'000);
    run.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(logText(log), job->log().join(QLatin1Char('\n')));
    // The log window keeps following its job once the row is closed; closing
    // the last row closes the Backups window.
    AppFixture::click(button);
    job->appendLog(QStringLiteral("Backup Finished"));
    EXPECT_TRUE(waitUntil([&] { return logText(log).endsWith(QStringLiteral("  Backup Finished")); }));
    AppFixture::click(AppFixture::item(row(*older), QStringLiteral("cancelCloseButton")));
    EXPECT_TRUE(waitUntil([&] { return !backups->isVisible(); }));

    // A started backup brings the one Backups window back, also while open.
    QSignalSpy requests(&router, &WindowRouter::windowRequested);
    controller->startBackup();
    EXPECT_TRUE(backups->isVisible());
    QQuickItem *list = AppFixture::item(backups, QStringLiteral("threadsList"));
    EXPECT_TRUE(list && waitUntil([&] { return list->property("count").toInt() == 1; }));
    controller->startBackup();
    EXPECT_EQ(requests.count(), 2);
    EXPECT_EQ(router.openWindow(QStringLiteral("nowhere")), nullptr);
    QFile broken(stick.filePath(QStringLiteral("Broken.qml")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("import QtQuick\nItem {}\n") > 0 && broken.flush());
    router.setWindowSource(QStringLiteral("broken"), QUrl::fromLocalFile(broken.fileName()));
    EXPECT_EQ(router.openWindow(QStringLiteral("broken")), nullptr);
    EXPECT_EQ(router.window(QStringLiteral("broken")), nullptr);
    EXPECT_TRUE(f.alerts.alerts.isEmpty());
}

// How each run ended, told alike by the row (its line and the badge on its
// icon), the log's last line and the notification; an ended job stays ended.
TEST(VelloryApp, EachEndingIsToldAlikeByTheRowTheLogAndTheNotification)
{
    AppFixture f;
    using Reason = BackupOutcome::StopReason;
    struct Ending
    {
        Status status;
        quint64 errors;
        Reason reason;
        quint64 items;
        const char *line;
        const char *summary;
        const char *body;
        const char *icon;
    };
    const Ending endings[] = {
        {Status::completed, 0, Reason::none, 0, "Completed", "Backup completed", "Nothing needed backing up.",
         "emblem-ok-symbolic"},
        {Status::completed, 3, Reason::none, 2, "Completed with 3 errors", "Backup completed with 3 errors",
         "2 items backed up, 10 bytes.", "dialog-warning-symbolic"},
        {Status::cancelled, 0, Reason::cancelled, 15'903, "Cancelled", "Backup cancelled",
         "15,903 items backed up, 10 bytes.", "process-stop-symbolic"},
        {Status::error, 23'695, Reason::volumeFull, 0, "Stopped: the volume is full",
         "Backup stopped: the volume is full", "Nothing was backed up. 23,695 errors.", "dialog-error-symbolic"},
        {Status::error, 1, Reason::volumeGone, 1, "Stopped: the volume is gone", "Backup stopped: the volume is gone",
         "1 item backed up, 10 bytes. 1 error.", "dialog-error-symbolic"},
    };
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    VelloryApp &app = f.start();
    QQuickWindow *backups = app.router().openWindow(QStringLiteral("backups"));
    ASSERT_TRUE(backups && QTest::qWaitForWindowExposed(backups));
    BackupScript script;
    script.volumeName = QStringLiteral("STICK");
    for (const Ending &ending : endings) {
        SCOPED_TRACE(ending.line);
        // A run that ends as the engine ends one: errors, totals, status.
        auto job = BackupThread::create(script, IconDescription(), JobKind{{}, {}, [&ending](BackupThread &run) {
            run.setErrorCount(ending.errors);
            run.setOutcome({.stopReason = ending.reason, .itemsBackedUp = ending.items, .bytesBackedUp = ending.items ? 10U : 0U});
            run.setStatus(ending.status);
        }});
        app.controller()->threads()->prepend(job);
        QSignalSpy finished(job.get(), &BackupThread::runFinished);
        job->setStatus(Status::scanning);
        job->start();
        ASSERT_TRUE(finished.wait(5000));
        QTest::qWait(20);

        QQuickItem *row = AppFixture::item(backups->contentItem(), QStringLiteral("threadRow:") + job->id());
        ASSERT_TRUE(row);
        const QString line = AppFixture::text(row, QStringLiteral("threadEnding"));
        EXPECT_TRUE(line.startsWith(QString::fromUtf8(ending.line) + QStringLiteral(" · \"STICK\" · "))) << line.toStdString();
        EXPECT_TRUE(AppFixture::item(row, QStringLiteral("threadEndingBadge"))->isVisible());
        EXPECT_EQ(job->endingIconName(), QString::fromUtf8(ending.icon));
        EXPECT_EQ(BackupNotifications::endedSummary(*job), QString::fromUtf8(ending.summary));
        EXPECT_EQ(BackupNotifications::endedBody(*job), QString::fromUtf8(ending.body));

        job->cancel();
        QTest::qWait(20);
        EXPECT_EQ(job->status(), ending.status);
    }
    QLocale::setDefault(QLocale::system());
}

// Quit while a backup runs asks first; Enter takes the default, Cancel, and
// the backup goes on; "Stop and Quit" cancels it and quits once its run ends.
TEST(VelloryApp, QuitDuringABackupAsksAndCancelKeepsItRunning)
{
    AppFixture f;
    VelloryApp &app = f.start();
    ASSERT_TRUE(app.launch());
    QSignalSpy quits(&app.quitGuard(), &QuitGuard::quitConfirmed);
    AppFixture::trigger(f.mainWindow(), QStringLiteral("quitItem"));
    EXPECT_EQ(quits.size(), 1) << "nothing runs: no question";

    auto job = listJob(*app.controller());
    applyStatus(*job, Status::backingUp);
    // Answers the question box once it shows: its text, then `answer`.
    QString asked;
    const auto answerWith = [&asked](const std::function<void(QMessageBox *)> &answer) {
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, &asked, answer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                asked = box->text();
                poll->deleteLater();
                answer(box);
            }
        });
        poll->start(20);
    };
    answerWith([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); });
    AppFixture::trigger(f.mainWindow(), QStringLiteral("quitItem"));
    EXPECT_EQ(asked, QStringLiteral("A backup to \"STICK\" is running. Stop it and quit?"));
    QTest::qWait(50);
    EXPECT_EQ(quits.size(), 1);
    EXPECT_TRUE(job->isRunning());

    answerWith([](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == QStringLiteral("Stop and Quit")) {
                button->click();
            }
        }
    });
    app.requestQuit();
    EXPECT_TRUE(waitUntil([&] { return job->status() == Status::cancelled; }));
    EXPECT_EQ(quits.size(), 1) << "the run's closing steps come first";
    emit job->runFinished();
    EXPECT_EQ(quits.size(), 2);
}

// A manual check still runs; ending after the application is gone, it
// still deletes itself quietly.
TEST(VelloryApp, AKeyThatCannotBeReadShowsOneAlertAndNoCheckButAManualCheckStillRuns)
{
    AppFixture f;
    f.start().delegate().setPublicKeySource([] { return QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\nbroken\n"); });
    ASSERT_TRUE(f.app->launch());
    // The alert is queued on the main thread.
    ASSERT_TRUE(waitUntil([&] { return !f.alerts.alerts.isEmpty(); }));
    EXPECT_TRUE(f.alerts.alerts.first().beep);
    EXPECT_FALSE(f.alerts.alerts.first().informativeText.startsWith(QLatin1Char('\n'))) << "the error is the message";
    EXPECT_TRUE(f.checkKinds.isEmpty()) << "no silent check without a key";
    EXPECT_FALSE(f.app->updateServices().publicKey());
    QTest::qWait(100);
    EXPECT_EQ(f.alerts.alerts.size(), 1);

    AppFixture::trigger(f.mainWindow(), QStringLiteral("checkForUpdatesItem")); // its completion is still queued
    f.app.reset();
    EXPECT_EQ(f.checkKinds, QStringList{QStringLiteral("manual")});
    ASSERT_EQ(f.checks.size(), 1);
    EXPECT_TRUE(waitUntil([&] { return f.checks.first().isNull(); }));
}

TEST(DesktopStyle, ADarkGtkThemeIsRecognisedAndTheDarkPaletteIsDark)
{
    using Scheme = DesktopStyle::ColorScheme;
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita:dark")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral(" Arc-Dark ")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita")), Scheme::Light);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QString()), Scheme::NoPreference);

    // Its readability is checked on the main window (MainWindow tests).
    EXPECT_TRUE(DesktopStyle::isDark(DesktopStyle::darkPalette()));
}

TEST(LaunchOptions, GnuAndQtOptionsAreReadAndUnknownOnesRefused)
{
    // The arguments after the program's name, and what they ask for:
    // h(elp), v(ersion), d(emo pictures), r(efused) or nothing.
    const std::pair<const char *, char> cases[] = {
        {"", ' '},
        {"--help", 'h'},
        {"--version", 'v'},
        // Qt's own options, with one dash or two; and a launcher's file argument.
        {"-platform offscreen -style Fusion -reverse", ' '},
        {"--platform=offscreen /home/ann/file.txt", ' '},
        {"--unknown", 'r'},
        {"-x", 'r'},
        {"--screenshot", 'r'},
        {"--demo --screenshot /tmp/pictures", 'd'},
    };
    for (const auto &[arguments, asked] : cases) {
        SCOPED_TRACE(arguments);
        const LaunchOptions options = LaunchOptions::parse(
            QStringList{QStringLiteral("vellory")} + QString::fromLatin1(arguments).split(u' ', Qt::SkipEmptyParts));
        EXPECT_EQ(options.helpRequested, asked == 'h');
        EXPECT_EQ(options.versionRequested, asked == 'v');
        EXPECT_EQ(!options.errors.isEmpty(), asked == 'r');
        EXPECT_EQ(options.demo, asked == 'd');
        EXPECT_EQ(options.screenshotFolder, asked == 'd' ? QStringLiteral("/tmp/pictures") : QString());
    }
}

// Pictures are made only on folders inside the temporary folder; the real
// program, started for them in a person's own folders, stops before it
// reads or writes anything there.
TEST(LaunchOptions, PictureOptionsRunOnlyOnFoldersInsideTheTemporaryFolder)
{
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"/tmp/demo-AB12/data", "/tmp/demo-AB12/config", true},
        {"", "/tmp/demo-AB12/config", false},
        {"/tmp/demo-AB12/data", "", false},
        {"/home/ann/.local/share", "/tmp/demo-AB12/config", false},
        {"/tmp", "/tmp/", false},
        {"/tmp/../home/ann", "/tmp/demo/config", false},
        {"/tmpfoo/data", "/tmp/demo/config", false},
        {"tmp/data", "/tmp/demo/config", false},
    };
    for (const auto &[data, config, allowed] : cases) {
        const QString problem = LaunchOptions::privateFoldersProblem(QString::fromLatin1(data), QString::fromLatin1(config),
                                                                    QStringLiteral("/tmp"));
        EXPECT_EQ(problem.isEmpty(), allowed) << data << " " << config;
    }

    QTemporaryDir home;
    QProcess vellory;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    vellory.setProcessEnvironment(environment);
    vellory.start(QStringLiteral(VELLORY_APP_PATH), {QStringLiteral("--demo")});
    ASSERT_TRUE(vellory.waitForFinished(30000));
    EXPECT_EQ(vellory.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(vellory.readAllStandardError()).contains(QStringLiteral("XDG_DATA_HOME")));
    EXPECT_TRUE(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}
