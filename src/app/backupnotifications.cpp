#include "app/backupnotifications.h"

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "backup/displayformat.h"
#include "platform/desktopnotifier.h"
#include "ui/enginetexts.h"

namespace {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString volumeName(const BackupThread &job)
{
    return job.script().volumeName.isEmpty() ? BackupNotifications::tr("The backup volume") : quoted(job.script().volumeName);
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
        m_notifier.notify(BackupNotifications::tr("Automatic backup started"),
                          BackupNotifications::tr("Backing up to %1.").arg(volumeName(*job)));
    });
    connect(&controller, &BackupController::ejectFailed, this, [this](const QString &name, const QString &reason) {
        m_notifier.notify(BackupNotifications::tr("Could not eject %1").arg(name.isEmpty() ? BackupNotifications::tr("the volume") : quoted(name)),
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
    case BackupThreadStatusValue::cancelled: return tr("Backup cancelled");
    case BackupThreadStatusValue::completed:
        return job.errorCount() == 0 ? tr("Backup finished") : tr("Backup finished with errors");
    default: return tr("Backup failed");
    }
}

QString BackupNotifications::endedBody(const BackupThread &job)
{
    const BackupOutcome &outcome = job.outcome();
    QStringList sentences;
    if (job.status() == BackupThreadStatusValue::completed || job.status() == BackupThreadStatusValue::cancelled) {
        if (outcome.itemsBackedUp == 0) {
            sentences << tr("Nothing needed backing up.");
        } else {
            const QString items = outcome.itemsBackedUp == 1
                ? tr("1 item")
                : tr("%1 items").arg(displayformat::count(outcome.itemsBackedUp));
            sentences << tr("%1 backed up, %2.").arg(items, EngineTexts::translate(displayformat::byteCount(outcome.bytesBackedUp)));
        }
    } else if (!job.progressMessage().isEmpty()) {
        sentences << EngineTexts::translate(job.progressMessage());
    }
    if (job.errorCount() > 0) {
        sentences << (job.errorCount() == 1 ? tr("1 error.")
                                            : tr("%1 errors.").arg(displayformat::count(job.errorCount())));
    }
    if (outcome.ejectTried) {
        sentences << (outcome.ejectError.isEmpty()
                          ? tr("%1 was ejected and can now be removed safely.").arg(volumeName(job))
                          : tr("%1 could not be ejected: %2").arg(volumeName(job), outcome.ejectError));
    }
    return sentences.join(QLatin1Char(' '));
}

void BackupNotifications::jobEnded(BackupThread *job)
{
    QList<platform::DesktopNotifier::Action> actions;
    if (job->errorCount() > 0) {
        actions.append({QString::fromLatin1(kShowLogAction), tr("Show Log")});
    }
    m_notifier.notify(endedSummary(*job), endedBody(*job), actions, job->id());
}
