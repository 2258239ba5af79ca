#include "app/backupnotifications.h"

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "backup/displayformat.h"
#include "platform/desktopnotifier.h"

namespace {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString volumeName(const BackupThread &job)
{
    return job.script().volumeName.isEmpty() ? QStringLiteral("The backup volume") : quoted(job.script().volumeName);
}

} // namespace

BackupNotifications::BackupNotifications(BackupController &controller, platform::DesktopNotifier &notifier,
                                         QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_notifier(notifier)
{
    connect(&controller, &BackupController::backupStarted, this, &BackupNotifications::follow);
    connect(&controller, &BackupController::automaticBackupStarted, this, [this](BackupThread *job) {
        m_notifier.notify(QStringLiteral("Automatic backup started"),
                          QStringLiteral("Backing up to %1.").arg(volumeName(*job)));
    });
    connect(&controller, &BackupController::ejectFailed, this, [this](const QString &name, const QString &reason) {
        m_notifier.notify(QStringLiteral("Could not eject %1").arg(name.isEmpty() ? QStringLiteral("the volume") : quoted(name)),
                          reason);
    });
    connect(&notifier, &platform::DesktopNotifier::actionInvoked, this, [this](const QString &tag, const QString &key) {
        if (key == QLatin1String(kShowLogAction)) {
            emit showLogRequested(tag);
        }
    });
}

void BackupNotifications::follow(BackupThread *job)
{
    connect(job, &BackupThread::runFinished, this, [this, job] { jobEnded(job); });
}

QString BackupNotifications::endedSummary(const BackupThread &job)
{
    switch (job.status()) {
    case BackupThreadStatusValue::cancelled: return QStringLiteral("Backup cancelled");
    case BackupThreadStatusValue::completed:
        return job.errorCount() == 0 ? QStringLiteral("Backup finished") : QStringLiteral("Backup finished with errors");
    default: return QStringLiteral("Backup failed");
    }
}

QString BackupNotifications::endedBody(const BackupThread &job)
{
    const BackupOutcome &outcome = job.outcome();
    QStringList sentences;
    if (job.status() == BackupThreadStatusValue::completed || job.status() == BackupThreadStatusValue::cancelled) {
        if (outcome.itemsBackedUp == 0) {
            sentences << QStringLiteral("Nothing needed backing up.");
        } else {
            const QString items = outcome.itemsBackedUp == 1
                ? QStringLiteral("1 item")
                : QStringLiteral("%1 items").arg(displayformat::count(outcome.itemsBackedUp));
            sentences << QStringLiteral("%1 backed up, %2.").arg(items, displayformat::byteCount(outcome.bytesBackedUp));
        }
    } else if (!job.progressMessage().isEmpty()) {
        sentences << job.progressMessage();
    }
    if (job.errorCount() > 0) {
        sentences << (job.errorCount() == 1 ? QStringLiteral("1 error.")
                                            : QStringLiteral("%1 errors.").arg(displayformat::count(job.errorCount())));
    }
    if (outcome.ejectTried) {
        sentences << (outcome.ejectError.isEmpty()
                          ? QStringLiteral("%1 was ejected and can now be removed safely.").arg(volumeName(job))
                          : QStringLiteral("%1 could not be ejected: %2").arg(volumeName(job), outcome.ejectError));
    }
    return sentences.join(QLatin1Char(' '));
}

void BackupNotifications::jobEnded(BackupThread *job)
{
    QList<platform::DesktopNotifier::Action> actions;
    if (job->errorCount() > 0) {
        actions.append({QString::fromLatin1(kShowLogAction), QStringLiteral("Show Log")});
    }
    QString body = endedBody(*job);
    if (const QString note = m_endNote ? m_endNote(*job) : QString(); !note.isEmpty()) {
        body += QLatin1Char(' ') + note;
    }
    m_notifier.notify(endedSummary(*job), body, actions, job->id());
}
