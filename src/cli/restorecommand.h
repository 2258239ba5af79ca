#pragma once

#include "backup/backupscript.h"
#include "cli/clicommand.h"

#include <optional>

/// "restore [--set FILE] [--from COMPUTER] [--to FOLDER] [--volume PATH]
/// [--skip-differing] PATH...": brings backed-up items back from the
/// destination (or the volume at PATH) and prints the job's log. Exit code 0
/// when everything asked for was restored or already equal, 1 on any error
/// or when the volume is not connected (nothing written).
class RestoreCommand : public CliCommand
{
public:
    static constexpr int kRestored = 0;
    static constexpr int kFailed = 1;

    [[nodiscard]] QString name() const override { return QStringLiteral("restore"); }
    [[nodiscard]] QString arguments() const override;
    [[nodiscard]] QString summary() const override;
    int execute(const QStringList &arguments, CliConsole &console) override;
};

/// "computers [--set FILE] [--volume PATH]": lists the computers' folders
/// on the destination. Exit code 1 when the volume is not connected.
class ComputersCommand : public CliCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("computers"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE] [--volume PATH]"); }
    [[nodiscard]] QString summary() const override;
    int execute(const QStringList &arguments, CliConsole &console) override;
};

/// Where the backups to restore from are: the volume at `volumePath` when
/// given, else the set's destination, found by its UUID wherever it is
/// mounted. Empty, with the reason in `error`, when there is none.
[[nodiscard]] QString backupVolumePath(const BackupScript &script, const QString &volumePath, QString *error);
