// Start-up: the main window, the one controller every window shares, the
// delegate told once launching has finished, the options and the dark palette.
#include "apptesting.h"

#include "app/desktopstyle.h"
#include "app/launchoptions.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

TEST(VelloryApp, LaunchOpensTheMainWindowTellsTheDelegateOnceAndEveryStartedBackupAsksForTheOneBackupsWindow)
{
    AppFixture f;
    VelloryApp &app = f.start();
    QSignalSpy launched(&app.delegate(), &AppDelegate::launchTasksStarted);
    ASSERT_TRUE(app.launch());
    QQuickWindow *main = f.mainWindow();
    ASSERT_TRUE(main && main->isVisible());
    EXPECT_EQ(main->title(), QStringLiteral("Vellory 2"));
    // Not before the event loop has run: launching has not finished yet.
    EXPECT_EQ(launched.size(), 0);
    ASSERT_TRUE(launched.wait(2000));
    QTest::qWait(50);
    EXPECT_EQ(launched.size(), 1);
    EXPECT_EQ(app.router().openWindow(QStringLiteral("mainWindow")), main);

    // The started backup shows in the Backups window; every window shows the
    // one controller.
    QSignalSpy requests(&app.router(), &WindowRouter::windowRequested);
    BackupController *controller = app.controller();
    controller->startBackup();
    QQuickWindow *backups = app.router().window(QStringLiteral("backups"));
    ASSERT_TRUE(backups && backups->isVisible());
    QQuickItem *list = AppFixture::item(backups, QStringLiteral("threadsList"));
    ASSERT_TRUE(list);
    EXPECT_TRUE(AppFixture::waitFor([&] { return list->property("count").toInt() == 1; }));
    EXPECT_EQ(backups->property("controller").value<QObject *>(), controller);
    EXPECT_EQ(main->property("controller").value<QObject *>(), controller);
    EXPECT_EQ(main->property("app").value<QObject *>(), &app);

    // Closed, then asked for again: the same window comes back; while it is
    // open, too.
    backups->close();
    controller->startBackup();
    EXPECT_EQ(app.router().window(QStringLiteral("backups")), backups);
    EXPECT_TRUE(backups->isVisible());
    controller->startBackup();
    EXPECT_EQ(requests.count(), 3);
}

TEST(DesktopStyle, ADarkGtkThemeIsRecognisedAndTheDarkPaletteIsReadable)
{
    using Scheme = DesktopStyle::ColorScheme;
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita:dark")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral(" Arc-Dark ")), Scheme::Dark);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QStringLiteral("Adwaita")), Scheme::Light);
    EXPECT_EQ(DesktopStyle::schemeFromGtkTheme(QString()), Scheme::NoPreference);

    const QPalette dark = DesktopStyle::darkPalette();
    EXPECT_TRUE(DesktopStyle::isDark(dark));
    for (const auto &[text, background] : {std::pair(QPalette::WindowText, QPalette::Window),
                                           std::pair(QPalette::Text, QPalette::Base),
                                           std::pair(QPalette::ButtonText, QPalette::Button)}) {
        EXPECT_GT(dark.color(text).lightness() - dark.color(background).lightness(), 100) << text;
    }
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
}

// The real program, started for pictures in a person's own folders, stops
// before it reads or writes anything there.
TEST(LaunchOptions, TheDemoRefusesThePersonsOwnFolders)
{
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
