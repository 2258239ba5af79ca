#include "backup/writebackpacer.h"

#include "backup/backupvolume.h"
#include "backup/nameplacer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace {

// A file costs the medium at least a block of data and its share of the
// inode table and folder, however small it is.
constexpr std::int64_t kPerFile = 8192;

} // namespace

WritebackPacer::WritebackPacer(const BackupVolume &volume, NamePlacer &placer,
                               std::function<void(int error)> volumeFailed, std::int64_t batchBytes)
    : m_volume(volume)
    , m_placer(placer)
    , m_volumeFailed(std::move(volumeFailed))
    , m_batchBytes(batchBytes)
{
    if (!m_volume.isOpen() || m_batchBytes <= 0) {
        return;
    }
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        // Without the thread the closing flush writes everything, as the
        // kernel would have it anyway.
    }
}

WritebackPacer::~WritebackPacer()
{
    stop();
}

std::int64_t WritebackPacer::defaultBatchBytes()
{
    // Measured on W1 and W2 (bench/run) against 32, 128, 256 and 512 MiB:
    // smaller batches cost a journal commit each, larger ones leave more
    // for the closing flush.
    return std::int64_t(64) << 20;
}

void WritebackPacer::written(std::int64_t bytes)
{
    if (!m_thread.joinable()) {
        return;
    }
    const std::int64_t add = std::max<std::int64_t>(bytes, 0) + kPerFile;
    if (m_written.fetch_add(add, std::memory_order_relaxed) + add >= m_batchBytes
        && !m_flushWanted.exchange(true, std::memory_order_relaxed)) {
        // Under the lock, so that the thread cannot miss it between its
        // look at the flag and its wait.
        { std::lock_guard<std::mutex> locker(m_lock); }
        m_wake.notify_one();
    }
}

void WritebackPacer::stop()
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void WritebackPacer::run()
{
    std::unique_lock<std::mutex> locker(m_lock);
    bool failed = false;
    while (!failed) {
        const bool wanted = m_wake.wait_for(locker, std::chrono::seconds(1), [this] {
            return m_stop || m_flushWanted.load(std::memory_order_relaxed);
        });
        if (m_stop) {
            return;
        }
        locker.unlock();
        int error = 0;
        if (wanted) {
            m_written.store(0, std::memory_order_relaxed);
            m_flushWanted.store(false, std::memory_order_relaxed);
            error = m_placer.flushAndPlace();
        } else if (!m_volume.isReachable()) {
            // Unmounted under the run: writes would still succeed, into a
            // file system no longer anywhere.
            error = ENODEV;
        }
        if (error != 0) {
            failed = true;
            m_volumeFailed(error);
        }
        locker.lock();
    }
}
