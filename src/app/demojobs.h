#pragma once

#include "backup/backupthread.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

class BackupController;

/// What the screenshot script shows in the Backups window: one real backup
/// of the set (it runs to its end) and, above it, a simulated job that keeps
/// running — scanning first, then backing up, its bar stopping part way —
/// so both kinds of row can be pictured. Only for `--demo`.
class DemoJobs : public QObject
{
    Q_OBJECT

public:
    explicit DemoJobs(BackupController &controller, QObject *parent = nullptr);

    /// Starts both jobs; `settled` follows once the real one has ended.
    void start();

    [[nodiscard]] BackupThread *finishedJob() const { return m_finished; }

signals:
    void settled();

private:
    void step();

    BackupController &m_controller;
    QPointer<BackupThread> m_finished;
    std::shared_ptr<BackupThread> m_running;
    QTimer m_timer;
    int m_step = 0;
};
