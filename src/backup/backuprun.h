#pragma once

#include "backup/backupscript.h"

class BackupThread;

/// The work of one backup job: scan every source and compare it with its
/// copy on the volume, copy what is missing or changed, then close with the
/// summaries, the optional eject and the final title and status. It reports
/// only through its job; errors are logged and counted, and never stop the
/// run as a whole.
class BackupRun
{
public:
    BackupRun(const BackupScript &script, BackupThread &job);

    /// Runs to the end on the calling thread.
    void execute();

private:
    const BackupScript &m_script;
    BackupThread &m_job;
};
