#pragma once

#include <cstdint>
#include <vector>

namespace platform {

/// Moves a file's bytes from one descriptor to another in the kernel where
/// it can: copy_file_range, else sendfile, else read/write through a buffer.
/// Remembers for its lifetime which of them the kernel refused (across file
/// systems copy_file_range always is), so one per copying thread.
class DataCopier
{
public:
    /// Copies from `in` to `out` until `expected` bytes (when not negative)
    /// or the end of `in`; `copied` counts what was written. 0 or an errno.
    int copy(int in, int out, std::int64_t expected, std::int64_t &copied);

private:
    std::vector<char> m_buffer;
    bool m_tryCopyFileRange = true;
    bool m_trySendfile = true;
};

} // namespace platform
