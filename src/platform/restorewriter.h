#pragma once

#include "platform/datacopier.h"

#include "platform/fileattributes.h"
#include "platform/uniquefd.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace platform {

/// How bringing one item back from a backup volume went.
struct RestoreResult
{
    enum class Stage : std::uint8_t {
        None,       // restored
        Exists,     // something already has the local name: nothing written
        ReadSource, // the copy on the volume could not be opened or read
        Unsupported, // not a regular file or a link on the volume
        Create,     // the local file could not be made
        Write,      // writing the local data failed
        SetTimes,   // the modification time could not be carried over
    };
    Stage stage = Stage::None;
    int error = 0; // errno value
    std::int64_t bytes = 0;

    [[nodiscard]] bool ok() const { return stage == Stage::None; }
};

/// Reads items off a backup volume and writes them to the computer without
/// ever replacing anything there: a new file is written unnamed (or under a
/// temporary name) and takes its real name only if nothing has it by then.
/// Nothing on the volume is followed (links are read as links) or written;
/// its files are opened with O_NOATIME where the process may.
class RestoreWriter
{
public:
    RestoreWriter();

    /// Whether the volume keeps permission bits; without them new files get
    /// the user's defaults (the umask) instead of the copy's bits.
    void setKeepPermissions(bool keep) { m_keepPermissions = keep; }

    /// Restores `name` in `volumeDirFd` (a regular file or a symbolic link,
    /// as listed) as `localName` in `localDirFd`, with its content (or link
    /// text) and modification time.
    RestoreResult restore(int volumeDirFd, const char *name, FileType type, int localDirFd, const char *localName);

    /// Tells the writer which local folder the next items go into, so that
    /// it knows once per folder whether new files there get exactly the
    /// permission bits they are created with (no default ACL).
    void enterLocalFolder(int localDirFd);

    /// Opens (and with `create` makes) the folder `relativePath` below the
    /// local folder `baseFd` as a path-only handle. No link on the way is
    /// followed (ELOOP or ENOTDIR): below the target a link may have come
    /// off a volume, in this restore or an earlier one, and must not lead a
    /// write elsewhere.
    [[nodiscard]] static UniqueFd openLocalFolder(int baseFd, const QByteArray &relativePath, bool create,
                                                  int &error);
    /// Opens (and with `create` makes, with its parents) a local folder by
    /// its absolute path, following links as any program would.
    [[nodiscard]] static UniqueFd openLocalBase(const QByteArray &path, bool create, int &error);

    /// Opens the folder `relativePath` below `rootFd` on the volume for
    /// listing, following no link and leaving nothing of the tree.
    [[nodiscard]] UniqueFd openVolumeFolder(int rootFd, const QByteArray &relativePath, int &error) const;
    /// Opens the sub-folder `name` of a volume folder, never following a link.
    [[nodiscard]] UniqueFd openVolumeSubfolder(int dirFd, const char *name, int &error) const;

    /// The text of the link `name` in `dirFd`; false when it cannot be read.
    static bool readLink(int dirFd, const char *name, QByteArray &text);

private:
    RestoreResult restoreFile(int volumeDirFd, const char *name, int localDirFd, const char *localName);
    RestoreResult restoreLink(int volumeDirFd, const char *name, int localDirFd, const char *localName);
    /// Makes the file to write into in `localDirFd` with `mode`: unnamed
    /// where the file system can, else under a new `temporary` name.
    RestoreResult createTarget(int localDirFd, unsigned int mode, UniqueFd &target, QByteArray &temporary);
    /// Gives the file written as `temporary` its real name unless something
    /// has it; the temporary name goes either way.
    RestoreResult placeTemporary(int localDirFd, const QByteArray &temporary, const char *localName);
    /// Gives the written file `fd` its real name unless something has it.
    RestoreResult placeUnnamed(int fd, int localDirFd, const char *localName);
    [[nodiscard]] int openSource(int dirFd, const char *name, int flags) const;

    bool m_keepPermissions = true;
    bool m_folderKeepsCreationMode = false;
    mutable bool m_tryNoAtime = true;
    bool m_tryUnnamed = true;
    DataCopier m_data;
    std::uint64_t m_random;
    unsigned int m_umask;
};

} // namespace platform
