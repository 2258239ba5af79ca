#include "app/sleepwhilebackingup.h"

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "platform/sleepinhibitor.h"

SleepWhileBackingUp::SleepWhileBackingUp(BackupController &controller, platform::SleepInhibitor &inhibitor,
                                         QObject *parent)
    : QObject(parent)
    , m_inhibitor(inhibitor)
{
    connect(&controller, &BackupController::backupStarted, this, &SleepWhileBackingUp::jobStarted);
}

void SleepWhileBackingUp::jobStarted(BackupThread *job)
{
    // runFinished comes once the run has ended, whether it completed,
    // failed or was cancelled.
    connect(job, &BackupThread::runFinished, this, [this, job] { jobEnded(job); });
    connect(job, &QObject::destroyed, this, [this, job] { jobEnded(job); });
    m_running.insert(job);
    if (m_running.size() == 1) {
        m_inhibitor.acquire(tr("A backup is running"));
    }
}

void SleepWhileBackingUp::jobEnded(BackupThread *job)
{
    if (m_running.remove(job) && m_running.isEmpty()) {
        m_inhibitor.release();
    }
}
