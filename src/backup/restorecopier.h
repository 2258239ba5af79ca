#pragma once

#include "backup/restoreplan.h"
#include "platform/restorewriter.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class RunReport;

/// The second phase of a restore: carries out the plan. Missing local
/// folders are made, each file or link is written without replacing
/// anything (see platform::RestoreWriter), and a copy whose local
/// counterpart differs goes beside it under a free "(restored)" name.
///
/// Several workers restore at once, each taking the next stretch of the
/// plan; the calling thread reports the outcomes strictly in plan order, so
/// the log and the counts read as with one worker, and it notices a cancel.
/// A volume that goes away, or a local disk that is full or read-only, ends
/// the phase with one line.
class RestoreCopier
{
public:
    /// `rootFd` is the computer's folder on the volume, `volumePath` where
    /// the volume is mounted; `beside` whether a differing local file gets
    /// the copy beside it (else it is only named in the log).
    RestoreCopier(RunReport &report, const RestorePlan &plan, int rootFd, QString volumePath, bool beside,
                  bool keepPermissions, int workers = defaultWorkers());
    ~RestoreCopier();

    void run();

    [[nodiscard]] quint64 itemsRestored() const { return m_itemsRestored; }
    [[nodiscard]] quint64 bytesRestored() const { return m_bytesRestored; }
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }

    /// Writing new files waits on the local file system's journal more
    /// than on a processor: a few more workers than cores.
    [[nodiscard]] static int defaultWorkers();

private:
    // A stretch of consecutive entries handed to one worker, and what came
    // of them.
    struct Stretch
    {
        std::size_t begin = 0;
        std::size_t end = 0;
        bool done = false;
        bool stopsRun = false; // a failure that every later entry would meet
        quint64 restored = 0;
        quint64 bytes = 0;
        std::vector<std::pair<bool, QString>> lines; // (is an error, text), in entry order
    };
    // The folders a worker is writing in now.
    struct Folders
    {
        std::int64_t index = -1;
        platform::UniqueFd volume;
        int volumeError = 0;
        platform::UniqueFd local;
        int localError = 0;
        std::vector<platform::UniqueFd> bases;
    };

    void work();
    void restoreStretch(Stretch &stretch, platform::RestoreWriter &writer, Folders &folders);
    void enterFolder(std::uint32_t index, platform::RestoreWriter &writer, Folders &folders) const;
    /// Restores one entry; false when the phase must stop.
    bool restoreEntry(Stretch &stretch, const RestorePlan::Entry &entry, platform::RestoreWriter &writer, int volumeFd,
                      int localFd) const;
    /// Reports one finished stretch in plan order.
    void report(const Stretch &stretch);

    RunReport &m_report;
    const RestorePlan &m_plan;
    const int m_rootFd;
    const QString m_volumePath;
    const bool m_beside;
    const bool m_keepPermissions;
    const int m_workers;

    std::vector<Stretch> m_stretches;
    std::mutex m_lock;
    std::condition_variable m_stretchDone;
    std::size_t m_nextStretch = 0; // guarded by m_lock
    std::atomic<bool> m_stop{false};

    quint64 m_itemsRestored = 0;
    quint64 m_bytesRestored = 0;
    std::size_t m_entriesDone = 0;
    bool m_cancelSeen = false;
    bool m_stoppedByFailure = false;
};
