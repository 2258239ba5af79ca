#pragma once

#include "platform/fileattributes.h"

#include <cstdint>
#include <vector>

namespace platform {

/// How a copy compared with its file.
struct Comparison
{
    enum class Kind : std::uint8_t {
        Same,
        Differs,
        SourceChanged,    // the file changed since the scan: it is due, not wrong
        SourceUnreadable, // the file could not be read
        CopyUnreadable,   // the copy could not be read
    };
    Kind kind = Kind::Same;
    int error = 0;          // errno value for the unreadable kinds
    std::int64_t bytes = 0; // read from the copy
};

/// Reads a copy back byte for byte against its file. The copy is read from
/// its device, not from the page cache: its cached pages are dropped before
/// it is read (after a flush they are clean, so dropping loses nothing).
/// Both are opened without updating their access times where allowed, so a
/// comparison writes nothing. Regular files are compared by content,
/// symbolic links by the text they hold.
class ContentComparer
{
public:
    ContentComparer();

    Comparison compare(int sourceDirFd, int copyDirFd, const char *name, FileType type);

private:
    Comparison compareRegular(int sourceDirFd, int copyDirFd, const char *name);
    Comparison compareLink(int sourceDirFd, int copyDirFd, const char *name);

    std::vector<char> m_source;
    std::vector<char> m_copy;
};

/// Opens `name` in `dirFd` for reading, never following a symbolic link,
/// without updating its access time where the process may ask that; the
/// descriptor or -1 (errno set).
[[nodiscard]] int openForReading(int dirFd, const char *name);

/// Drops the cached pages of the block device holding the file system of
/// `dirFd`, so that what its own process (FUSE) reads comes from the
/// device. False when that device is not known or may not be opened.
[[nodiscard]] bool dropDeviceCache(int dirFd);

} // namespace platform
