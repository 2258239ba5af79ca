#include "ui/backuplogfeed.h"

#include "backup/backupthread.h"

#include <QStringList>

BackupLogFeed::BackupLogFeed(QObject *parent)
    : QObject(parent)
{
}

void BackupLogFeed::setJob(BackupThread *job)
{
    if (m_job == job) {
        return;
    }
    if (m_job) {
        m_job->disconnect(this);
    }
    m_job = job;
    if (m_job) {
        // The job announces its log once per batch of lines it applies.
        connect(m_job, &BackupThread::logChanged, this, &BackupLogFeed::deliverNewLines);
    }
    emit jobChanged();
    replay();
}

void BackupLogFeed::replay()
{
    const QStringList log = m_job ? m_job->log() : QStringList();
    m_delivered = log.size();
    emit reset(log.join(QLatin1Char('\n')));
    emit lineCountChanged();
}

void BackupLogFeed::deliverNewLines()
{
    if (!m_job) {
        return;
    }
    // The job's list is shared, not copied; only the new tail is joined.
    const QStringList log = m_job->log();
    if (log.size() < m_delivered) {
        replay();
        return;
    }
    if (log.size() == m_delivered) {
        return;
    }
    const QString text = log.mid(m_delivered).join(QLatin1Char('\n'));
    m_delivered = log.size();
    emit appended(text);
    emit lineCountChanged();
}
