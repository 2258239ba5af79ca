#pragma once

#include <cstdint>

namespace platform {

/// The largest file the file system holding `fd` can store: 4 GiB - 1 on the
/// FAT family (kernel vfat/msdos and FUSE FAT drivers), else unlimited.
/// Checked before a copy so that a too-large file fails at once instead of
/// after writing gigabytes.
[[nodiscard]] std::int64_t maximumFileSize(int fd);

/// Free bytes available to this user on the file system holding `fd`, or -1
/// when unknown. Some drivers answer a full volume with EPERM or EIO; this
/// tells the person what really happened.
[[nodiscard]] std::int64_t availableBytes(int fd);

} // namespace platform
