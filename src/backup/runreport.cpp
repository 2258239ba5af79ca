#include "backup/runreport.h"

#include "backup/backupthread.h"

void RunReport::log(const QString &message)
{
    m_job.appendLog(message);
}

void RunReport::error(const QString &message)
{
    ++m_errors;
    m_job.setErrorCount(m_errors);
    m_job.appendLog(QStringLiteral("Error: ") + message);
}

bool RunReport::cancelRequested() const
{
    return m_job.status() == BackupThreadStatusValue::cancelled;
}
