#pragma once

#include "platform/uniquefd.h"

#include <QByteArray>
#include <QList>

// Folder operations of the backup engine, relative to open folder
// descriptors so that long paths are resolved once and nothing on a volume
// can redirect a write elsewhere.
namespace platform {

struct OpenResult
{
    UniqueFd fd;
    int error = 0; // errno value when fd is invalid
};

/// Opens a folder for listing; follows a symbolic link at `path` itself.
[[nodiscard]] OpenResult openDirectory(const QByteArray &path);

/// Opens the sub-folder `name` of `dirFd` for listing; a symbolic link is
/// refused (ELOOP / ENOTDIR), never followed.
[[nodiscard]] OpenResult openSubdirectory(int dirFd, const char *name);

/// A path-only handle of the sub-folder `name` of `dirFd`, never following a
/// symbolic link: enough for the *at() calls on the folder's items.
[[nodiscard]] OpenResult openSubdirectoryHandle(int dirFd, const char *name);

/// Opens the folder at `relativePath` below `rootFd` for listing, as a
/// chain of openSubdirectory() calls would: no symbolic link is followed and
/// nothing above `rootFd` is reached. Other mounts on the way are entered.
[[nodiscard]] OpenResult openSubdirectoryPath(int rootFd, const QByteArray &relativePath);

/// A path-only handle of the folder at `relativePath` below `rootFd`,
/// refusing symbolic links, ".." escapes and other mounts on the way.
[[nodiscard]] OpenResult openDirectoryBeneath(int rootFd, const QByteArray &relativePath);

/// Creates every missing folder of `relativePath` below `rootFd` (as with
/// openDirectoryBeneath, nothing outside the root is touched) and returns a
/// handle of the last one. `failedAt` receives the relative path of the folder
/// that could not be made or opened; `madeLast` whether this call made the
/// last folder itself (so that nothing older can be in it).
[[nodiscard]] OpenResult makeDirectoriesBeneath(int rootFd, const QByteArray &relativePath,
                                                QByteArray *failedAt = nullptr, bool *madeLast = nullptr);

/// A path-only handle of a mount point's root folder, or an error; ENOTDIR
/// when `path` is not itself the root of a mounted file system.
[[nodiscard]] OpenResult openMountRoot(const QByteArray &path);

} // namespace platform
