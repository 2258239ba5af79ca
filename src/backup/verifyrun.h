#pragma once

#include "backup/backupscript.h"
#include "backup/runservices.h"
#include "platform/contentcomparer.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

class BackupThread;
class BackupVolume;
class CopyPlan;
class RunReport;
struct JobKind;

/// The work of a verify job: reads back every copy that the compare rules
/// call current, from the device, and compares it byte for byte with its
/// file. A copy that differs is an error and is recopied through the same
/// safe replace as a backup, so the next verify passes, unless more than
/// ten differ: a volume that silently loses writes would only lose more
/// with every recopy, so then nothing is recopied and the verify stops.
/// Files changed since the last backup are due, not errors, and are only
/// counted. Nothing is written but the recopied copies; nothing is deleted.
class VerifyRun
{
public:
    VerifyRun(const BackupScript &script, BackupThread &job, RunServices machine);

    /// Runs to the end on the calling thread (the job's own).
    void execute();

    /// The job kind that runs a verify of the job's set on `machine`.
    [[nodiscard]] static JobKind jobKind(const QString &volumeName, RunServices machine = RunServices::system());

    /// More differing copies than this and the volume is not trusted.
    static constexpr int kMostToRecopy = 10;

private:
    enum class Verdict : std::uint8_t { Pending, Same, Differs, Due, SourceUnreadable, CopyUnreadable };

    void verify(RunReport &report, BackupVolume &volume);
    void compareAll(RunReport &report, const BackupVolume &volume, const CopyPlan &plan);
    void work(const BackupVolume &volume, const CopyPlan &plan);
    /// Logs what entry `index` showed; false once the verify must stop.
    bool tell(RunReport &report, const CopyPlan &plan, std::size_t index);
    void recopy(RunReport &report, BackupVolume &volume, const CopyPlan &plan);

    const BackupScript &m_script;
    BackupThread &m_job;
    RunServices m_machine;

    // Shared with the comparing workers.
    std::mutex m_lock;
    std::condition_variable m_chunkDone;
    std::vector<Verdict> m_verdicts;
    std::vector<bool> m_chunksDone; // guarded by m_lock
    std::map<std::size_t, int> m_errors; // entry, errno; guarded by m_lock
    std::atomic<std::size_t> m_nextChunk{0};
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_bytesRead{0};

    std::vector<std::size_t> m_differing;
    quint64 m_verified = 0;
    quint64 m_unreadable = 0;
    quint64 m_due = 0;
    bool m_untrusted = false;
    bool m_cancelSeen = false;
};
