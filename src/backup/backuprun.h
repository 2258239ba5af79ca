#pragma once

#include "backup/backupscript.h"
#include "backup/backupthread.h"
#include "backup/runservices.h"

class BackupThread;
class BackupVolume;
class PlanCopier;
class RunReport;

/// The work of one backup job: scan every source and compare it with its
/// copy on the volume, copy what is missing or changed, then close with the
/// summaries, the optional eject and the final title and status. It reports
/// only through its job; errors are logged and counted. Only a volume that
/// is full or stops accepting writes ends the copy early (status `error`).
/// The volumes, computer name, eject setting and eject come from `machine`.
class BackupRun
{
public:
    BackupRun(const BackupScript &script, BackupThread &job, RunServices machine);

    /// Runs to the end on the calling thread. Never throws: a failure that
    /// stops the run early (memory exhausted, say) is logged as an error and
    /// the close still follows.
    void execute();

private:
    /// Scan and copy; returns whether a cancel was seen.
    bool scanAndCopy(RunReport &report, BackupVolume &volume);
    /// The one line that tells why the volume ended the copy early.
    void reportVolumeStop(RunReport &report, const PlanCopier &copier);
    void close(RunReport &report, bool isDestination);

    const BackupScript &m_script;
    BackupThread &m_job;
    RunServices m_machine;
    BackupOutcome m_outcome;
};
