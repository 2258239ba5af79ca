#pragma once

#include <QObject>
#include <QSet>

class BackupController;
class BackupThread;

namespace platform {
class SleepInhibitor;
}

/// Holds the sleep (and shutdown, logout) inhibitor while any backup job runs: asked for when the
/// first job starts, given back when the last one ends, however it ends.
class SleepWhileBackingUp : public QObject
{
    Q_OBJECT

public:
    SleepWhileBackingUp(BackupController &controller, platform::SleepInhibitor &inhibitor, QObject *parent = nullptr);

    [[nodiscard]] int runningJobs() const { return int(m_running.size()); }

private:
    void jobStarted(BackupThread *job);
    void jobEnded(BackupThread *job);

    platform::SleepInhibitor &m_inhibitor;
    QSet<BackupThread *> m_running;
};
