#pragma once

#include "backup/backupthread.h"

#include <QString>

/// How a job ended, told in the same words by its row, its log and the
/// desktop notification: completed, completed with errors, cancelled, or
/// stopped because the volume was full or gone.
namespace jobending {

using Ending = BackupThread::Ending;

/// The ending of a job in `status` with `errorCount` errors (a run that
/// stopped early ends in `error`); NotEnded while it has not ended.
[[nodiscard]] Ending of(BackupThreadStatusValue status, quint64 errorCount);

/// "Completed", "Completed with 3 errors", "Cancelled", "Stopped: the volume
/// is full", ...; empty for NotEnded.
[[nodiscard]] QString text(Ending ending, quint64 errorCount, BackupOutcome::StopReason reason);

/// The notification's summary: "Backup completed", "Backup cancelled", ...
[[nodiscard]] QString summary(Ending ending, quint64 errorCount, BackupOutcome::StopReason reason);

/// The theme icon that marks the ending on the job's row; empty for NotEnded.
[[nodiscard]] QString iconName(Ending ending);

} // namespace jobending
