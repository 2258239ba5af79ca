#include "app/backupreminder.h"

#include "app/loginstart.h"
#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "platform/settings.h"

#include <QCoreApplication>

namespace {

constexpr qint64 kSecondsPerDay = 24 * 60 * 60;
// A backup that just ended (even a failed one) means the person is at it.
constexpr qint64 kQuietAfterJobSeconds = 60 * 60;

} // namespace

BackupReminder::BackupReminder(BackupController &controller, platform::Settings &settings,
                               std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_settings(settings)
    , m_clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); })
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        check();
        m_timer.start(kCheckIntervalMs);
    });
    connect(&controller, &BackupController::backupStarted, this, &BackupReminder::follow);
}

void BackupReminder::start()
{
    m_timer.start(kFirstCheckMs);
}

void BackupReminder::follow(BackupThread *job)
{
    connect(job, &BackupThread::runFinished, this, [this] { m_lastJobEnded = m_clock(); });
}

void BackupReminder::check()
{
    const int days = m_settings.remindAfterDays();
    const QDateTime last = m_settings.lastCompletedBackup();
    if (days == 0 || !last.isValid()
        || m_controller.volumeStatus() != BackupController::VolumeStatusValue::NotConnected) {
        return;
    }
    for (const auto &job : m_controller.threads()->jobs()) {
        if (job->isRunning()) {
            return;
        }
    }
    const QDateTime now = m_clock();
    if (m_lastJobEnded.isValid() && m_lastJobEnded.secsTo(now) < kQuietAfterJobSeconds) {
        return;
    }
    const qint64 age = last.secsTo(now);
    if (age < qint64(days) * kSecondsPerDay) {
        return;
    }
    if (m_settings.lastReminderDay() == now.date()) {
        return;
    }
    m_settings.setLastReminderDay(now.date());
    emit reminderDue(reminderSummary(), reminderBody(m_controller.volumeName(), age / kSecondsPerDay));
}

QString BackupReminder::reminderSummary()
{
    return QCoreApplication::translate("BackupReminder", "Time for a backup");
}

QString BackupReminder::reminderBody(const QString &volumeName, qint64 days)
{
    return QCoreApplication::translate("BackupReminder",
                                       "Your last backup to \"%1\" was %2 days ago. Connect it to back up your files.")
        .arg(volumeName)
        .arg(days);
}

QString BackupReminder::firstBackupNote(const BackupThread &job)
{
    if (job.status() != BackupThreadStatusValue::completed) {
        return QString();
    }
    if (m_settings.loginStartTurnedOnAfterFirstBackup()) {
        return QString();
    }
    m_settings.setLoginStartTurnedOnAfterFirstBackup(true);
    LoginStart login;
    if (login.enabled()) {
        return QString();
    }
    login.setEnabled(true);
    if (!login.enabled()) {
        return QString();
    }
    return QCoreApplication::translate("BackupReminder",
                                       "Vellory 2 now starts at login to remind you when a backup is due; "
                                       "you can turn this off in Settings.");
}
