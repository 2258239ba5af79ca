#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

/// Writes what a mounted file system holds onto its medium. syncfs() reaches
/// the kernel's own file systems; a file system run by a process of its own
/// (FUSE: fuseblk, fuse.*) never sees it, and gets the request only through
/// an fsync of an item on it, which its process answers by flushing its state
/// and its device. Where the device is known, the flush is checked at the
/// device: a process without an fsync handler is answered for by the kernel
/// (0, as if it had flushed), and only the device's flush count tells.
class VolumeFlusher
{
public:
    /// For the file system holding `dirFd` (a path-only handle will do; the
    /// flusher keeps its own descriptor of it).
    explicit VolumeFlusher(int dirFd);
    ~VolumeFlusher();

    VolumeFlusher(const VolumeFlusher &) = delete;
    VolumeFlusher &operator=(const VolumeFlusher &) = delete;

    /// 0 or an errno value. Safe from any thread.
    [[nodiscard]] int flush() const;

    [[nodiscard]] bool runsInUserSpace() const { return m_userSpace; }
    /// A flush of a file system in user space came back without the device
    /// having been asked to write its cache: its process has no fsync handler.
    [[nodiscard]] bool flushMissedDevice() const { return m_missedDevice.load(std::memory_order_relaxed); }

private:
    int m_fd = -1;
    bool m_userSpace = false;
    int m_deviceMajor = -1; // of a FUSE file system on a block device
    int m_deviceMinor = -1;
    mutable std::atomic<bool> m_missedDevice{false};
};

/// Flush requests the block device `major`:`minor` has completed, or -1 when
/// the kernel does not count them (or there is no such device).
[[nodiscard]] std::int64_t deviceFlushCount(int major, int minor);

} // namespace platform
