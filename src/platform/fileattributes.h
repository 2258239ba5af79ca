#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>

namespace platform {

enum class FileType : std::uint8_t {
    Regular,
    Directory,
    Symlink,
    Fifo,
    Socket,
    CharacterDevice,
    BlockDevice,
    Unknown,
};

/// What the engine needs to know of one item: read with a single call.
struct FileAttributes
{
    FileType type = FileType::Unknown;
    std::uint32_t mode = 0;          // permission bits
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::uint32_t mtimeNanoseconds = 0;
    std::int64_t atimeSeconds = 0;
    std::uint32_t atimeNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    [[nodiscard]] bool isDirectory() const { return type == FileType::Directory; }
    /// Modification time minus `other`'s, in seconds.
    [[nodiscard]] double secondsNewerThan(const FileAttributes &other) const
    {
        return double(mtimeSeconds - other.mtimeSeconds)
            + (double(mtimeNanoseconds) - double(other.mtimeNanoseconds)) / 1e9;
    }
};

/// Attributes of `name` inside the folder `dirFd`, not following a symbolic
/// link. Returns 0 or an errno value.
int attributesAt(int dirFd, const char *name, FileAttributes &out);

/// Attributes of an absolute or relative path; follows a final symbolic link
/// when `followLink` is true. Returns 0 or an errno value.
int attributesOfPath(const char *path, bool followLink, FileAttributes &out);

/// Attributes of an open descriptor. Returns 0 or an errno value.
int attributesOfFd(int fd, FileAttributes &out);

/// The access and modification times of `attributes`, as futimens and
/// utimensat take them.
[[nodiscard]] std::array<timespec, 2> timesOf(const FileAttributes &attributes);

/// The process's umask, read without changing it (another thread may be
/// creating files); nothing when it cannot be read.
[[nodiscard]] std::optional<unsigned int> processUmask();

} // namespace platform
