#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class BackupController;
class BackupThread;
namespace platform {
class Settings;
}

/// Reminds the person when the last backup is older than the chosen interval
/// ("Remind me after") and the destination is not connected: at most once a
/// day, never while a job of the set runs or within an hour after one ended.
/// It looks soon after the start and every hour after that.
///
/// It also makes sure something runs at login to remind: after the first
/// completed backup it turns "Start at login" on, once, and says so in that
/// backup's notification (firstBackupNote()).
class BackupReminder : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFirstCheckMs = 5 * 1000;
    static constexpr int kCheckIntervalMs = 60 * 60 * 1000;

    /// `settings` hold the interval and what was last reminded; `clock`
    /// gives the current time (null: the system's).
    BackupReminder(BackupController &controller, platform::Settings &settings, std::function<QDateTime()> clock = {},
                   QObject *parent = nullptr);

    /// Starts looking: within seconds, then hourly.
    void start();
    /// Looks now, and reminds when one is due.
    void check();

    /// Called as a completed backup is told: after the first one, turns
    /// "Start at login" on and returns the sentence that says so; empty
    /// text every other time.
    [[nodiscard]] QString firstBackupNote(const BackupThread &job);

    [[nodiscard]] static QString reminderSummary();
    [[nodiscard]] static QString reminderBody(const QString &volumeName, qint64 days);

signals:
    /// A reminder is due: the notification's summary and body.
    void reminderDue(const QString &summary, const QString &body);

private:
    void follow(BackupThread *job);

    BackupController &m_controller;
    platform::Settings &m_settings;
    std::function<QDateTime()> m_clock;
    QTimer m_timer;
    QDateTime m_lastJobEnded;
};
