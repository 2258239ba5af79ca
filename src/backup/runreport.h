#pragma once

#include <QString>

class BackupThread;

/// How a run tells its job what happens: log lines, and "Error: " lines that
/// also count in the job's error count.
class RunReport
{
public:
    explicit RunReport(BackupThread &job) : m_job(job) {}

    void log(const QString &message);
    /// Logs "Error: " + `message` and counts it.
    void error(const QString &message);
    [[nodiscard]] quint64 errorCount() const { return m_errors; }
    /// True once the job has been cancelled (read from the run's thread).
    [[nodiscard]] bool cancelRequested() const;
    [[nodiscard]] BackupThread &job() { return m_job; }

private:
    BackupThread &m_job;
    quint64 m_errors = 0;
};
