#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include "backup/backupthread.h"

/// Feeds a job's log to a text view without handing it the whole log again
/// for every new line: `reset` gives the log so far (lines joined with a
/// line feed, none after the last), then `appended` gives each batch of new
/// lines as the job publishes them, also joined, for the view to add as new
/// lines. A job of 100,000 lines thus costs the view one append per batch.
class BackupLogFeed : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(BackupThread *job READ job WRITE setJob NOTIFY jobChanged)
    Q_PROPERTY(int lineCount READ lineCount NOTIFY lineCountChanged)

public:
    explicit BackupLogFeed(QObject *parent = nullptr);

    [[nodiscard]] BackupThread *job() const { return m_job; }
    void setJob(BackupThread *job);
    /// Lines handed out so far.
    [[nodiscard]] int lineCount() const { return int(m_delivered); }

    /// Hands out the whole log again (`reset`), e.g. for a view made later.
    Q_INVOKABLE void replay();

signals:
    void jobChanged();
    void lineCountChanged();
    void reset(const QString &text);
    void appended(const QString &text);

private:
    void deliverNewLines();

    QPointer<BackupThread> m_job;
    qsizetype m_delivered = 0;
};
