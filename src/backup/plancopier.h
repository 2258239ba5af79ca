#pragma once

#include "backup/copyplan.h"
#include "platform/filecopier.h"
#include "platform/uniquefd.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <thread>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class BackupVolume;
class RunReport;
class WritebackPacer;

/// The copy phase of a run: carries out the plan. Each missing folder on the
/// volume is made once; each file is copied atomically (see
/// platform::FileCopier) and temporary files of an interrupted earlier run
/// are removed from every folder written to.
///
/// Several workers copy at once, each taking the next stretch of the plan;
/// the calling thread reports the outcomes strictly in plan order, so the
/// log, the counts and a cancel read the same as with one worker.
class PlanCopier
{
public:
    PlanCopier(RunReport &report, const BackupVolume &volume, const CopyPlan &plan, int workers = defaultWorkers());
    ~PlanCopier();

    void run();

    [[nodiscard]] quint64 itemsBackedUp() const { return m_itemsBackedUp; }
    [[nodiscard]] quint64 bytesCopied() const { return m_bytesCopied; }
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }

    /// Copies in flight at once: file creation on a volume waits on its
    /// journal more than on a processor, so a few more than the cores.
    [[nodiscard]] static int defaultWorkers();

private:
    // Open descriptors of the folder a worker's current entries are in.
    struct FolderHandles
    {
        std::int64_t index = -1;
        platform::UniqueFd source;
        int sourceError = 0;
        platform::UniqueFd target;
        int targetError = 0;
    };

    // What became of one entry, kept until it is reported in order (one
    // byte per planned file; the bytes copied are summed per stretch).
    enum class Outcome : std::uint8_t {
        NotAttempted, // a cancel stopped the worker first
        Failed,
        Copied,
    };

    // A stretch of consecutive entries handed to one worker.
    struct Stretch
    {
        std::size_t begin = 0;
        std::size_t end = 0;
        bool done = false;
        std::size_t inHand = 0; // the entry being copied
        bool cutShort = false;  // a failure ended it before its end
        std::int64_t bytesCopied = 0;
        std::vector<std::pair<std::size_t, QString>> errors; // entry, message
        // Replacing copies complete under a temporary name, placed once the
        // whole volume is flushed.
        struct Pending
        {
            std::size_t index;
            QByteArray temporary;
            std::int64_t bytes;
        };
        std::vector<Pending> pending;
    };

    void splitPlan();
    /// Reports the outcomes in plan order as the stretches complete.
    void reportInOrder(std::vector<std::thread> &workers);
    void stopWorkers(std::vector<std::thread> &workers);
    [[nodiscard]] bool stopRequested();
    void noteFailure(Stretch &stretch, const std::exception &failure) noexcept;
    void work();
    void copyStretch(Stretch &stretch, FolderHandles &folder, platform::FileCopier &copier);
    void enterFolder(FolderHandles &handles, platform::FileCopier &copier, std::uint32_t folder, bool create,
                     Stretch &stretch, std::size_t index);
    [[nodiscard]] QString describeFailure(std::size_t index, const platform::CopyResult &result) const;
    void report(std::size_t index, const Stretch &stretch, std::size_t &nextError);
    /// One flush of the volume, then every replacing copy takes its name;
    /// one that cannot is reported and no longer counted.
    void placePendingReplacements();
    void showProgress(std::size_t index, bool force);

    RunReport &m_report;
    const BackupVolume &m_volume;
    const CopyPlan &m_plan;
    const int m_workers;

    std::vector<Stretch> m_stretches;
    std::vector<Outcome> m_outcomes;
    std::unique_ptr<std::once_flag[]> m_cleaned; // stale temporaries removed from this folder
    std::mutex m_lock;
    std::condition_variable m_stretchDone;
    std::size_t m_nextStretch = 0; // guarded by m_lock
    std::atomic<bool> m_stop{false}; // written under m_lock
    WritebackPacer *m_pacer = nullptr; // while the workers copy

    std::int64_t m_lastProgress = 0;
    std::size_t m_lastReported = 0;
    quint64 m_itemsBackedUp = 0;
    quint64 m_bytesCopied = 0;
    bool m_cancelSeen = false;
};
