// Start-up: the main window, the one controller every window shares, the
// delegate told once launching has finished, and the single windows.
#include "apptesting.h"

#include "app/desktopstyle.h"
#include "app/launchoptions.h"
#include "backup/backupthreadlistmodel.h"

#include <QSignalSpy>
#include <QTest>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(VelloryApp, LaunchOpensTheMainWindowThenTellsTheDelegateOnce)
{
    AppFixture f;
    VelloryApp &app = f.start();
    QSignalSpy launched(&app.delegate(), &AppDelegate::launchTasksStarted);
    ASSERT_TRUE(app.launch());

    QQuickWindow *main = f.mainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->title(), QStringLiteral("Vellory 2"));
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->minimumWidth(), 800);
    EXPECT_GE(main->minimumHeight(), 450);
    EXPECT_TRUE(AppFixture::find(main, QStringLiteral("contentView")));

    // Not before the event loop has run: launching has not finished yet.
    EXPECT_EQ(launched.size(), 0);
    ASSERT_TRUE(launched.wait(2000));
    QTest::qWait(50);
    EXPECT_EQ(launched.size(), 1);
}

TEST(VelloryApp, EveryWindowShowsTheOneController)
{
    AppFixture f;
    VelloryApp &app = f.start();
    ASSERT_TRUE(app.launch());
    BackupController *controller = app.controller();

    QQuickWindow *backups = app.router().openWindow(QStringLiteral("backups"));
    ASSERT_TRUE(backups);
    EXPECT_EQ(backups->title(), QStringLiteral("Backups"));
    EXPECT_EQ(backups->property("controller").value<QObject *>(), controller);
    EXPECT_EQ(f.mainWindow()->property("controller").value<QObject *>(), controller);
    EXPECT_EQ(f.mainWindow()->property("app").value<QObject *>(), &app);

    // Asked for again: the same window, not a second one.
    EXPECT_EQ(app.router().openWindow(QStringLiteral("backups")), backups);
    EXPECT_EQ(app.router().openWindow(QStringLiteral("mainWindow")), f.mainWindow());

    // A started backup reaches the Backups window's list through the same controller.
    controller->startBackup();
    QQuickItem *list = AppFixture::item(backups, QStringLiteral("threadsList"));
    ASSERT_TRUE(list);
    EXPECT_TRUE(AppFixture::waitFor([&] { return list->property("count").toInt() == 1; }));

    // Its log window finds the job by id.
    BackupThread *job = controller->threads()->jobAt(0).get();
    QQuickWindow *log = app.router().openLogWindow(job->id());
    ASSERT_TRUE(log);
    EXPECT_EQ(log->property("job").value<QObject *>(), job);
}

TEST(VelloryApp, TheShareSheetFlagNotifiesOnlyOnChange)
{
    AppFixture f;
    VelloryApp &app = f.start();
    QSignalSpy changed(&app, &VelloryApp::showShareSheetChanged);
    EXPECT_FALSE(app.showShareSheet());
    app.setShowShareSheet(true);
    app.setShowShareSheet(true);
    EXPECT_TRUE(app.showShareSheet());
    app.setShowShareSheet(false);
    EXPECT_EQ(changed.size(), 2);
}

TEST(DesktopStyle, ADarkGtkThemeOrPaletteIsRecognised)
{
    using Scheme = DesktopStyle::ColorScheme;
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita:dark")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral(" Arc-Dark ")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita")), Scheme::Light);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QString()), Scheme::NoPreference);

    const QPalette dark = DesktopStyle::darkPalette();
    EXPECT_TRUE(DesktopStyle::isDark(dark));
    // Text must stand out from its background in every place it is drawn.
    EXPECT_GT(dark.color(QPalette::WindowText).lightness() - dark.color(QPalette::Window).lightness(), 100);
    EXPECT_GT(dark.color(QPalette::Text).lightness() - dark.color(QPalette::Base).lightness(), 100);
    EXPECT_GT(dark.color(QPalette::ButtonText).lightness() - dark.color(QPalette::Button).lightness(), 100);
    EXPECT_LT(dark.color(QPalette::Disabled, QPalette::ButtonText).lightness(),
              dark.color(QPalette::Active, QPalette::ButtonText).lightness());
}

TEST(LaunchOptions, GnuAndQtOptionsAreReadAndUnknownOnesRefused)
{
    struct Case
    {
        QStringList arguments; // after the program's name
        bool help = false;
        bool version = false;
        bool refused = false;
    };
    const Case cases[] = {
        {{}},
        {{QStringLiteral("--help")}, true},
        {{QStringLiteral("-h")}, true},
        {{QStringLiteral("--version")}, false, true},
        // Qt's own options, with one dash or two; and a launcher's file argument.
        {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-style"), QStringLiteral("Fusion"),
          QStringLiteral("-reverse")}},
        {{QStringLiteral("--platform=offscreen"), QStringLiteral("/home/ann/file.txt")}},
        {{QStringLiteral("--unknown")}, false, false, true},
        {{QStringLiteral("-x")}, false, false, true},
        {{QStringLiteral("--screenshot")}, false, false, true},
    };
    for (const Case &c : cases) {
        const LaunchOptions options = LaunchOptions::parse(QStringList{QStringLiteral("vellory")} + c.arguments);
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        EXPECT_EQ(options.helpRequested, c.help);
        EXPECT_EQ(options.versionRequested, c.version);
        EXPECT_EQ(!options.errors.isEmpty(), c.refused);
        EXPECT_FALSE(options.demo);
    }

    const LaunchOptions both = LaunchOptions::parse({QStringLiteral("vellory"), QStringLiteral("--demo"),
                                                     QStringLiteral("--screenshot"), QStringLiteral("/tmp/pictures")});
    EXPECT_TRUE(both.demo);
    EXPECT_EQ(both.screenshotFolder, QStringLiteral("/tmp/pictures"));
    EXPECT_TRUE(both.errors.isEmpty());
}

TEST(LaunchOptions, PictureOptionsRunOnlyOnFoldersInsideTheTemporaryFolder)
{
    struct Case
    {
        QString data;
        QString config;
        bool allowed;
    };
    const std::vector<Case> cases{
        {QStringLiteral("/tmp/demo-AB12/data"), QStringLiteral("/tmp/demo-AB12/config"), true},
        {QString(), QStringLiteral("/tmp/demo-AB12/config"), false},
        {QStringLiteral("/tmp/demo-AB12/data"), QString(), false},
        {QStringLiteral("/home/ann/.local/share"), QStringLiteral("/tmp/demo-AB12/config"), false},
        {QStringLiteral("/tmp"), QStringLiteral("/tmp/"), false},
        {QStringLiteral("/tmp/../home/ann"), QStringLiteral("/tmp/demo/config"), false},
        {QStringLiteral("/tmpfoo/data"), QStringLiteral("/tmp/demo/config"), false},
        {QStringLiteral("tmp/data"), QStringLiteral("/tmp/demo/config"), false},
    };
    for (const Case &c : cases) {
        const QString problem = LaunchOptions::privateFoldersProblem(c.data, c.config, QStringLiteral("/tmp"));
        EXPECT_EQ(problem.isEmpty(), c.allowed) << c.data.toStdString() << " " << c.config.toStdString();
    }
}

// The real program, started for pictures in a person's own folders, stops
// before it reads or writes anything there.
TEST(LaunchOptions, TheDemoRefusesThePersonsOwnFolders)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
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
