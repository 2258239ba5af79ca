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
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class BackupVolume;
class NamePlacer;
class RunReport;
class WritebackPacer;

/// The copy phase of a run: carries out the plan. Each missing folder on the
/// volume is made once; each file is copied atomically (see
/// platform::FileCopier) and takes its name only once its data is on the
/// medium (NamePlacer); temporary files of an interrupted earlier run are
/// removed from every folder written to.
///
/// Several workers copy at once, each taking the next stretch of the plan;
/// the calling thread reports the outcomes strictly in plan order, so the
/// log, the counts and a cancel read the same as with one worker.
///
/// A volume that stops taking writes (an I/O error, read-only, gone) or is
/// full ends the copy early: no copy starts after the first such failure
/// (or, when full, once nothing left to copy fits or ten copies in a row
/// found no room), and the run tells it in one line, not one per file.
class PlanCopier
{
public:
    enum class VolumeStop { none, full, gone };

    PlanCopier(RunReport &report, const BackupVolume &volume, const CopyPlan &plan, int workers = defaultWorkers());
    ~PlanCopier();

    void run();

    [[nodiscard]] quint64 itemsBackedUp() const { return m_itemsBackedUp; }
    [[nodiscard]] quint64 bytesCopied() const { return m_bytesCopied; }
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }
    /// Why the copy ended before the plan did, for the volume's sake.
    [[nodiscard]] VolumeStop volumeStop() const { return m_volumeStop.load(); }
    /// With a volume stop: the planned items left without a copy, and their bytes.
    [[nodiscard]] quint64 itemsNotCopied() const { return m_itemsNotCopied; }
    [[nodiscard]] quint64 bytesNotCopied() const { return m_bytesNotCopied; }

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
        NotAttempted,   // a cancel or a volume stop came first
        Failed,         // for the item's own sake (unreadable, a pipe, ...)
        FailedOnVolume, // writing it on the volume failed: told unless the volume stopped
        NoRoom,         // failed for want of space on the volume
        VolumeFailed, // the volume stopped taking writes
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
    /// The last flush of the copy, then every waiting copy takes its name;
    /// one that cannot is reported and no longer counted.
    void placeWaitingCopies();
    void uncount(const std::vector<std::pair<std::size_t, std::int64_t>> &copies);
    void showProgress(std::size_t index, bool force);
    /// A copy of entry `index` failed: what it says of the volume.
    [[nodiscard]] Outcome classify(std::size_t index, const platform::CopyResult &result) const;
    /// A copy found no room: whether the volume is to be taken for full,
    /// that is whether nothing still to copy, in any stretch, fits.
    [[nodiscard]] bool noRoomLeft();
    [[nodiscard]] bool lacksRoomFor(std::int64_t bytes) const;
    void stopForVolume(VolumeStop why);
    /// Counts what a volume stop left uncopied (failed for it, or never tried).
    void countNotCopied();

    RunReport &m_report;
    const BackupVolume &m_volume;
    const CopyPlan &m_plan;
    const int m_workers;

    std::vector<Stretch> m_stretches;
    // Written by the worker that copies the entry, read by the reporting
    // thread after the stretch is done and by a worker judging the room left.
    std::vector<std::atomic<Outcome>> m_outcomes;
    // Stale temporaries removed from this folder (device, inode); guarded by m_lock.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::shared_ptr<std::once_flag>> m_cleaned;
    std::mutex m_lock;
    std::condition_variable m_stretchDone;
    std::size_t m_nextStretch = 0; // guarded by m_lock
    std::atomic<bool> m_stop{false}; // written under m_lock
    std::atomic<VolumeStop> m_volumeStop{VolumeStop::none};
    std::atomic<int> m_noRoomInARow{0};
    std::mutex m_noRoomLock; // a no-room failure's line and the full stop, one at a time
    // Guarded by m_noRoomLock: the first stretch not yet done, and an entry
    // still to copy that fitted in the room left when last looked at.
    std::size_t m_firstOpenStretch = 0;
    std::size_t m_fitsAt = SIZE_MAX;
    WritebackPacer *m_pacer = nullptr; // while the workers copy
    std::unique_ptr<NamePlacer> m_placer;
    // Lines of copies that found no room: the first few are logged, the
    // rest are told in the closing line.
    int m_noRoomLines = 0;

    std::int64_t m_lastProgress = 0;
    std::size_t m_lastReported = 0;
    quint64 m_itemsBackedUp = 0;
    quint64 m_bytesCopied = 0;
    bool m_cancelSeen = false;
    quint64 m_itemsNotCopied = 0;
    quint64 m_bytesNotCopied = 0;
};
