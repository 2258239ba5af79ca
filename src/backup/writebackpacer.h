#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class BackupVolume;
class NamePlacer;

/// Keeps the volume writing while the copy goes on. The page cache would
/// otherwise hold gigabytes before the kernel starts writing them, and the
/// run's closing flush would then write all of it while the copy waits. Here,
/// once enough has been written since the last flush began, a thread of its
/// own flushes the volume, so that the medium's work overlaps the copying and
/// the closing flush finds little left. After each flush the copies it
/// covers take their names (NamePlacer).
///
/// It also watches the volume: a flush that fails, or a volume no longer
/// mounted (looked at every second), is told to `volumeFailed` at once.
class WritebackPacer
{
public:
    WritebackPacer(const BackupVolume &volume, NamePlacer &placer, std::function<void(int error)> volumeFailed,
                   std::int64_t batchBytes = defaultBatchBytes());
    ~WritebackPacer();

    WritebackPacer(const WritebackPacer &) = delete;
    WritebackPacer &operator=(const WritebackPacer &) = delete;

    /// A file of `bytes` was written (any thread).
    void written(std::int64_t bytes);
    /// Waits for a flush in progress and ends the thread.
    void stop();

    [[nodiscard]] static std::int64_t defaultBatchBytes();

private:
    void run();

    const BackupVolume &m_volume;
    NamePlacer &m_placer;
    const std::function<void(int error)> m_volumeFailed;
    const std::int64_t m_batchBytes;
    std::atomic<std::int64_t> m_written{0}; // since the last flush began
    std::atomic<bool> m_flushWanted{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false; // guarded by m_lock
    std::thread m_thread;
};
