#pragma once

#include "backup/backupscript.h"
#include "cli/clicommand.h"

#include <optional>

/// "run [--set FILE]": runs one backup job of the stored set (or of the set
/// in FILE) and prints every log line as it is appended; "verify [--set
/// FILE]" does the same with a verify job. Exit code 0 when the job
/// completed without errors, 1 when it counted errors, was stopped or was
/// cancelled (SIGINT / SIGTERM cancel it), 2 when the set cannot be loaded.
class RunCommand : public CliCommand
{
public:
    enum class Job { backup, verify };
    explicit RunCommand(Job job = Job::backup) : m_job(job) {}

    static constexpr int kCompleted = 0;
    static constexpr int kFailedOrCancelled = 1;
    static constexpr int kSetNotLoaded = 2;

    [[nodiscard]] QString name() const override
    {
        return m_job == Job::backup ? QStringLiteral("run") : QStringLiteral("verify");
    }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;
    int execute(const QStringList &arguments, CliConsole &console) override;

    /// The set from `file`, or from the store when `file` is empty; on
    /// failure, the reason in `error`.
    static std::optional<BackupScript> loadSet(const QString &file, QString *error);

    Job m_job;
};
