// Running without a window: when closing the last window keeps the
// application in the background, and the "Start at login" entry.
#include "app/backgroundmode.h"
#include "app/loginstart.h"
#include "app/statusicon.h"
#include "controllertesting.h"
#include "platform/autostartentry.h"

#include <QSignalSpy>

namespace {

void setAutoBackup(const char *value) // null: never written
{
    if (value) {
        platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), QByteArray(value) == "true");
    } else {
        platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
    }
}

class BackgroundModeTest : public ::testing::Test
{
protected:
    ControllerFixture fixture;
    StatusIcon icon{fixture.start()};
};

TEST_F(BackgroundModeTest, ClosingTheLastWindowStaysOnlyWithAutoBackupAndAPanel)
{
    const std::tuple<const char *, bool, bool> cases[] = {
        {nullptr, true, true}, {"true", true, true}, {"false", true, false}, {nullptr, false, false}, {"true", false, false},
    };
    for (const auto &[autoBackup, panel, stays] : cases) {
        SCOPED_TRACE(std::string(autoBackup ? autoBackup : "absent") + (panel ? " panel" : " no panel"));
        setAutoBackup(autoBackup);
        BackgroundMode mode(icon, [panel = panel] { return panel; });
        QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
        mode.lastWindowClosed();
        EXPECT_EQ(quit.size(), stays ? 0 : 1);
        EXPECT_EQ(mode.staysInBackground(), stays);
    }
}

TEST_F(BackgroundModeTest, AHiddenMainWindowIsFoundAgainThroughTheStatusIcon)
{
    for (const bool panel : {true, false}) {
        SCOPED_TRACE(panel ? "panel" : "no panel");
        BackgroundMode mode(icon, [panel] { return panel; });
        mode.mainWindowVisibilityChanged(false);
        EXPECT_EQ(icon.isVisible(), panel);
        QSignalSpy open(&icon, &StatusIcon::openRequested);
        icon.menu().actions().value(0)->trigger();
        EXPECT_EQ(open.size(), 1);
        mode.mainWindowVisibilityChanged(true);
        EXPECT_FALSE(icon.isVisible());
    }
}

TEST_F(BackgroundModeTest, ALoginLaunchWaitsForTheVolumeOnlyWhileAutomaticBackupIsOn)
{
    BackgroundMode mode(icon, [] { return false; });
    QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
    mode.startInBackground();
    EXPECT_EQ(quit.size(), 0); // even without a panel
    setAutoBackup("false");
    mode.startInBackground();
    EXPECT_EQ(quit.size(), 1);
}

TEST(AutostartEntryTest, StartAtLoginWritesAnExecLineThatKeepsEveryArgumentWholeAndRemovesIt)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/usr/bin/vellory", "/usr/bin/vellory --background"},
        {"/opt/My Apps/vellory", "\"/opt/My Apps/vellory\" --background"},
        {"/opt/100%/vellory", "/opt/100%%/vellory --background"},
        {"/opt/a\"b $c/vellory", "\"/opt/a\\\\\"b \\\\$c/vellory\" --background"},
    };
    for (const auto &[program, expected] : cases) {
        EXPECT_EQ(platform::AutostartEntry::execLine(QString::fromUtf8(program), {QStringLiteral("--background")}),
                  QString::fromUtf8(expected));
    }

    // The test run's private configuration folder stands for the user's.
    const QString entryPath = qEnvironmentVariable("XDG_CONFIG_HOME")
        + QStringLiteral("/autostart/com.brindlewick.vellory2.desktop");
    QFile::remove(entryPath);
    LoginStart setting;
    QSignalSpy changed(&setting, &LoginStart::enabledChanged);
    EXPECT_FALSE(setting.enabled());
    setting.setEnabled(true);
    EXPECT_TRUE(setting.enabled());
    EXPECT_TRUE(setting.error().isEmpty());
    QFile entry(entryPath);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + platform::AutostartEntry::execLine(
                                  QCoreApplication::applicationFilePath(), {QStringLiteral("--background")})
                              + QLatin1Char('\n')));
    setting.setEnabled(false);
    EXPECT_FALSE(QFile::exists(entryPath));
    EXPECT_FALSE(setting.enabled());
    EXPECT_EQ(changed.size(), 2);
}

} // namespace
