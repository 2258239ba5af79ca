// Running without a window: when closing the last window keeps the
// application in the background, and the "Start at login" entry.
#include "app/backgroundmode.h"
#include "app/loginstart.h"
#include "app/statusicon.h"
#include "controllertesting.h"
#include "platform/autostartentry.h"
#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(BackgroundModeTest, StaysOnlyWithAutoBackupAndAPanel)
{
    struct Case
    {
        const char *autoBackup; // preference value, or null for absent
        bool panel;
        bool stays;
    };
    const Case cases[] = {
        {nullptr, true, true},  {"true", true, true},   {"false", true, false},
        {nullptr, false, false}, {"true", false, false},
    };
    ControllerFixture fixture;
    BackupController &controller = fixture.start();
    StatusIcon icon(controller);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.autoBackup ? c.autoBackup : "absent") + (c.panel ? " panel" : " no panel"));
        if (c.autoBackup) {
            platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), QString::fromLatin1(c.autoBackup) == "true");
        } else {
            platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
        }
        BackgroundMode mode(icon, [&c] { return c.panel; });
        QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
        mode.lastWindowClosed();
        EXPECT_EQ(quit.size(), c.stays ? 0 : 1);
        EXPECT_EQ(mode.staysInBackground(), c.stays);
    }
    platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
}

TEST(BackgroundModeTest, AHiddenMainWindowIsFoundAgainThroughTheStatusIcon)
{
    ControllerFixture fixture;
    BackupController &controller = fixture.start();
    StatusIcon icon(controller);
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

TEST(BackgroundModeTest, LoginLaunchQuitsWhenAutomaticBackupIsOff)
{
    ControllerFixture fixture;
    BackupController &controller = fixture.start();
    StatusIcon icon(controller);
    BackgroundMode mode(icon, [] { return false; });
    QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
    mode.startInBackground();
    EXPECT_EQ(quit.size(), 0); // no panel: it still waits for the volume
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    mode.startInBackground();
    EXPECT_EQ(quit.size(), 1);
}

TEST(AutostartEntryTest, ExecLineKeepsEveryArgumentWhole)
{
    struct Case
    {
        QString program;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/vellory"), QStringLiteral("/usr/bin/vellory --background")},
        {QStringLiteral("/opt/My Apps/vellory"), QStringLiteral("\"/opt/My Apps/vellory\" --background")},
        {QStringLiteral("/opt/100%/vellory"), QStringLiteral("/opt/100%%/vellory --background")},
        {QStringLiteral("/opt/a\"b $c/vellory"), QStringLiteral("\"/opt/a\\\\\"b \\\\$c/vellory\" --background")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(platform::AutostartEntry::execLine(c.program, {QStringLiteral("--background")}), c.expected);
    }
}

TEST(AutostartEntryTest, StartAtLoginWritesAndRemovesTheUsersEntry)
{
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
    entry.close();
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
