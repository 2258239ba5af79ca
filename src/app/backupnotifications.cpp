#include "app/backupnotifications.h"

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "backup/displayformat.h"
#include "backup/jobending.h"
#include "platform/desktopnotifier.h"
#include "ui/enginetexts.h"

#include <QCoreApplication>

namespace {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString volumeName(const BackupThread &job)
{
    return job.script().volumeName.isEmpty() ? QCoreApplication::translate("BackupNotifications", "The backup volume")
                                             : quoted(job.script().volumeName);
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
        m_notifier.notify(tr("Automatic backup started"), tr("Backing up to %1.").arg(volumeName(*job)));
    });
    connect(&controller, &BackupController::ejectFailed, this, [this](const QString &name, const QString &reason) {
        m_notifier.notify(tr("Could not eject %1").arg(name.isEmpty() ? tr("the volume") : quoted(name)), reason);
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
    const QString summary = jobending::summary(job.ending(), job.errorCount(), job.outcome().stopReason);
    return summary.isEmpty() ? tr("Backup ended") : summary;
}

QString BackupNotifications::endedBody(const BackupThread &job)
{
    const BackupOutcome &outcome = job.outcome();
    QStringList sentences;
    if (outcome.itemsBackedUp > 0) {
        const QString items = outcome.itemsBackedUp == 1
            ? tr("1 item")
            : tr("%1 items").arg(displayformat::count(outcome.itemsBackedUp));
        sentences << tr("%1 backed up, %2.").arg(items, EngineTexts::translate(displayformat::byteCount(outcome.bytesBackedUp)));
    } else if (job.ending() == BackupThread::Ending::EndedCompleted) {
        sentences << tr("Nothing needed backing up.");
    } else {
        // Only a clean run may say nothing was needed: after errors, a
        // cancel or a stop, nothing was copied.
        sentences << tr("Nothing was backed up.");
    }
    if (job.errorCount() > 0 && job.ending() != BackupThread::Ending::EndedWithErrors) {
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
    QString body = endedBody(*job);
    if (const QString note = m_endNote ? m_endNote(*job) : QString(); !note.isEmpty()) {
        body += QLatin1Char(' ') + note;
    }
    m_notifier.notify(endedSummary(*job), body, actions, job->id());
}
