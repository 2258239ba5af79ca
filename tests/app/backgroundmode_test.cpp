// Running without a window: when closing the last window keeps the
// application in the background, the "Start at login" entry, and the
// reminder of an overdue backup.
#include "app/backgroundmode.h"
#include "app/backupnotifications.h"
#include "app/backupreminder.h"
#include "app/loginstart.h"
#include "app/remindersetting.h"
#include "app/statusicon.h"
#include "controllertesting.h"
#include "platform/autostartentry.h"
#include "platform/settings.h"

#include <QSignalSpy>

#include <optional>

namespace {

// For each automatic-backup preference (none: never written), with and
// without a panel: closing the last window, a login launch, and a main window
// hidden and found again through the status icon.
TEST(BackgroundMode, TheApplicationStaysInTheBackgroundOnlyWithBackgroundWorkAndAPanelOrALoginLaunch)
{
    ControllerFixture fixture;
    StatusIcon icon(fixture.start());
    // The reminder, on by default, keeps a login launch too (see below).
    const std::tuple<std::optional<bool>, bool, bool> cases[] = {
        {std::nullopt, true, true}, {true, true, true},    {false, true, false},
        {std::nullopt, false, false}, {true, false, false}, {false, false, false},
    };
    int i = 0;
    for (const auto &[autoBackup, panel, stays] : cases) {
        SCOPED_TRACE(std::string(autoBackup ? (*autoBackup ? "on" : "off") : "absent") + (panel ? " panel" : " no panel"));
        platform::Settings settings(fixture.dataDir.filePath(QStringLiteral("settings-%1.conf").arg(i++)));
        settings.setRemindAfterDays(0);
        if (autoBackup) {
            settings.setAutoBackupOnConnect(*autoBackup);
        }
        BackgroundMode mode(icon, settings, [panel = panel] { return panel; });
        QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
        QSignalSpy open(&icon, &StatusIcon::openRequested);
        mode.lastWindowClosed();
        EXPECT_EQ(quit.size(), stays ? 0 : 1);
        EXPECT_EQ(icon.isVisible(), stays);

        // A login launch waits for the volume, even without a panel, unless
        // automatic backup is off.
        mode.mainWindowVisibilityChanged(true);
        mode.startInBackground();
        EXPECT_EQ(quit.size(), (stays ? 0 : 1) + (autoBackup == false ? 1 : 0));
        EXPECT_EQ(icon.isVisible(), stays);

        mode.mainWindowVisibilityChanged(true);
        EXPECT_FALSE(icon.isVisible());
        mode.mainWindowVisibilityChanged(false);
        EXPECT_EQ(icon.isVisible(), panel);
        icon.menu().actions().value(0)->trigger();
        EXPECT_EQ(open.size(), 1);
        mode.mainWindowVisibilityChanged(true);
    }

    // Started at login without a panel and with automatic backup off: the
    // reminder alone keeps it; a window opened from it closes back into the
    // background, which is told once, until the reminder is turned off too.
    platform::Settings settings(fixture.dataDir.filePath(QStringLiteral("login.conf")));
    settings.setAutoBackupOnConnect(false);
    QStringList told;
    BackgroundMode mode(icon, settings, [] { return false; },
                        [&told](const QString &summary, const QString &body) { told << summary + QStringLiteral(" / ") + body; });
    QSignalSpy quit(&mode, &BackgroundMode::quitRequested);
    mode.startInBackground();
    mode.mainWindowVisibilityChanged(true);
    for (int i = 0; i < 2; ++i) {
        mode.mainWindowVisibilityChanged(false);
        mode.lastWindowClosed();
    }
    EXPECT_EQ(quit.size(), 0);
    EXPECT_FALSE(icon.isVisible());
    EXPECT_EQ(told, QStringList{QStringLiteral("Backups continue in the background / To quit, open Vellory 2 and choose Quit.")});

    settings.setRemindAfterDays(0);
    mode.lastWindowClosed();
    EXPECT_EQ(quit.size(), 1);
}

// A clock the test turns: no reminder after a fresh backup, while the stick
// is connected, or with "Never"; one when the interval has passed with the
// stick away, and no second one that day. The first completed backup turns
// "Start at login" on once and its notification says so.
TEST(BackupReminderTest, RemindsOnceADayWhenTheLastBackupIsOverdueAndTheStickIsAway)
{
    LoginStart().setEnabled(false);
    ControllerFixture fixture;
    platform::Settings &settings = *fixture.settings;
    settings.setAutoBackupOnConnect(false);
    ReminderSetting choice;
    choice.setSettings(&settings);
    const auto stick = fakeStick(QStringLiteral("UUID-1"), QStringLiteral("STICK"), QStringLiteral("/media/ann/STICK"));
    fixture.storeSet(setWithDestination(stick.uuid, stick.label, stick.mountPath));
    BackupController &controller = fixture.start();
    QDateTime now = fixture.now;
    BackupReminder reminder(controller, settings, [&now] { return now; });
    QSignalSpy due(&reminder, &BackupReminder::reminderDue);

    controller.startBackup();
    const std::shared_ptr<BackupThread> job = controller.threads()->jobAt(0);
    ASSERT_TRUE(waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; }, 30000));
    ASSERT_TRUE(waitUntil([&] { return settings.lastCompletedBackup().isValid(); }));
    EXPECT_EQ(settings.lastCompletedBackup(), fixture.now.toUTC());
    EXPECT_EQ(reminder.firstBackupNote(*job),
              QStringLiteral("Vellory 2 now starts at login to remind you when a backup is due; "
                             "you can turn this off in Settings."));
    EXPECT_TRUE(LoginStart().enabled());
    LoginStart().setEnabled(false);
    EXPECT_TRUE(reminder.firstBackupNote(*job).isEmpty()) << "said once, and never turned on again";
    EXPECT_FALSE(LoginStart().enabled());

    now = fixture.now.addSecs(2 * 3600);
    reminder.check();
    EXPECT_EQ(due.size(), 0) << "a fresh backup";

    now = fixture.now.addDays(9);
    fixture.monitor.mount(stick);
    fixture.settle();
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    reminder.check();
    EXPECT_EQ(due.size(), 0) << "the stick is connected";
    choice.setChoice(3);
    EXPECT_EQ(settings.remindAfterDays(), 0);
    fixture.monitor.unmount(stick.mountPath);
    fixture.settle();
    reminder.check();
    EXPECT_EQ(due.size(), 0) << "Never";

    choice.setChoice(0);
    EXPECT_EQ(settings.remindAfterDays(), 7);
    reminder.check();
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due.at(0).at(1).toString(),
              QStringLiteral("Your last backup to \"STICK\" was 9 days ago. Connect it to back up your files."));
    now = now.addSecs(60 * 60);
    reminder.check();
    EXPECT_EQ(due.size(), 1) << "once a day";
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
    setting.setEnabled(true);
    EXPECT_TRUE(setting.error().isEmpty());
    QFile entry(entryPath);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + platform::AutostartEntry::execLine(
                                  QCoreApplication::applicationFilePath(), {QStringLiteral("--background")})
                              + QLatin1Char('\n')));
    setting.setEnabled(false);
    EXPECT_EQ(changed.size(), 2);
}

} // namespace
