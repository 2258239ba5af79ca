#pragma once

#include "platform/datacopier.h"

#include "platform/directoryreader.h"
#include "platform/fileattributes.h"
#include "platform/uniquefd.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <limits>
#include <vector>

namespace platform {

/// Where a copy failed; the caller words the log line from it.
enum class CopyStage : std::uint8_t {
    None,            // success
    ReadSource,      // the source could not be opened or read
    Unsupported,     // a named pipe, socket or device file: never opened
    TooLarge,        // larger than the volume's file system can hold
    CreateTemporary, // the temporary file could not be made on the volume
    Write,           // writing the data failed (no space, I/O error, ...)
    SetTimes,        // the modification time could not be carried over
    RemoveOld,       // the old copy could not be replaced
    Rename,          // the finished copy could not take the real name
};

struct CopyResult
{
    CopyStage stage = CopyStage::None;
    int error = 0;               // errno value, 0 on success
    std::int64_t bytesCopied = 0;
    /// With deferred placement: the complete copy waits under the temporary
    /// name of this token (FileCopier::temporaryName) in the target folder.
    std::uint64_t pendingToken = 0; // never 0 for a waiting copy
    /// With deferred placement of a new copy where the file system can: the
    /// complete copy is an unnamed file open on this descriptor, which the
    /// caller now owns (FileCopier::placeUnnamed gives it its name).
    int pendingFd = -1;

    [[nodiscard]] bool ok() const { return stage == CopyStage::None; }
};

/// Copies one item onto a volume atomically: the data goes to a temporary
/// name in the target folder, gets the source's permission bits and
/// modification time, and only then is renamed over the real name (or, for a
/// new copy written unnamed, linked under it). A failed
/// copy leaves the old copy as it was and removes its temporary file.
/// Regular files are copied in the kernel (copy_file_range, else sendfile,
/// else read/write); symbolic links are copied as links; named pipes,
/// sockets and device files are refused without being opened.
class FileCopier
{
public:
    FileCopier();

    /// Files larger than this fail with EFBIG before anything is written.
    void setMaximumFileSize(std::int64_t bytes) { m_maximumFileSize = bytes; }

    /// Copies `name` in `sourceDirFd` (of the type the scan saw) to
    /// `targetName` in `targetDirFd`. With `replacing` (an older copy is
    /// there) the new data is flushed to the medium before it takes the
    /// name, so that a power loss leaves the old copy or the new one, never
    /// an empty file with the new time. With deferred placement every copy
    /// is left complete under its temporary name instead (`pendingToken`):
    /// the caller flushes the whole volume and then places a batch at once.
    CopyResult copy(int sourceDirFd, const char *name, FileType type, int targetDirFd, const char *targetName,
                    bool replacing = false);

    void setDeferPlacement(bool defer) { m_deferPlacement = defer; }

    /// With deferred placement, new copies are written as unnamed files
    /// (O_TMPFILE) where the file system has them: a copy then takes one
    /// folder entry, its name, instead of a temporary one renamed later, and
    /// a cut run leaves nothing behind. Each waits on an open descriptor.
    void setUnnamedCopies(bool unnamed) { m_unnamedCopies = unnamed; }

    /// Tells the copier which target folder the next copies go into, so it
    /// knows once per folder whether a new file there gets exactly the
    /// permission bits it is created with (no default ACL in the folder).
    void enterTargetFolder(int targetDirFd);

    /// The temporary name that `token` stands for.
    [[nodiscard]] static QByteArray temporaryName(std::uint64_t token);

    /// Renames `temporary` over `targetName` in `targetDirFd` (where the file
    /// system will not, removes the old copy first); on failure the
    /// temporary is removed.
    static CopyResult placeTemporary(int targetDirFd, const QByteArray &temporary, const char *targetName);

    /// Gives the unnamed file open on `fd` the name `targetName` in
    /// `targetDirFd` (replacing a file that appeared there since) and closes
    /// `fd`; on failure nothing is left behind.
    static CopyResult placeUnnamed(int fd, int targetDirFd, const char *targetName);

    /// Removes temporary files left in `targetDirFd` by an interrupted copy;
    /// one that another running copy still holds, and one whose name the
    /// source folder `sourceDirFd` also holds (a file of the user's), is left
    /// alone. Returns how many were removed.
    int removeStaleTemporaries(int targetDirFd, int sourceDirFd);

    /// True for the names this class gives its temporary files: the prefix,
    /// exactly 16 lower-case hex digits and the suffix.
    [[nodiscard]] static bool isTemporaryName(QByteArrayView name);
    static constexpr QByteArrayView temporaryPrefix{".vellory-partial-"};
    static constexpr QByteArrayView temporarySuffix{".tmp"};
    static constexpr qsizetype temporaryTokenLength = 16;

private:
    CopyResult copyRegular(int sourceDirFd, const char *name, int targetDirFd, const char *targetName, bool replacing);
    /// Opens the regular file `name` to copy and reads its attributes.
    CopyResult openSourceFile(int sourceDirFd, const char *name, UniqueFd &source, FileAttributes &attributes);
    /// Makes a new temporary file in `targetDirFd` with `mode`, locked while
    /// it is written; `token` names it.
    CopyResult createTemporary(int targetDirFd, unsigned int mode, UniqueFd &target, QByteArray &temporary,
                               std::uint64_t &token);
    /// Makes a new unnamed file in `targetDirFd`; false where the file
    /// system has none (then no later copy tries).
    bool createUnnamed(int targetDirFd, unsigned int mode, UniqueFd &target);
    CopyResult copySymlink(int sourceDirFd, const char *name, int targetDirFd, const char *targetName);
    std::uint64_t nextToken();

    std::int64_t m_maximumFileSize = std::numeric_limits<std::int64_t>::max();
    bool m_deferPlacement = false;
    bool m_unnamedCopies = false;
    std::uint64_t m_random;
    // Permission bits the process's umask takes away at creation; a file
    // whose bits it leaves alone is created with them, without an fchmod.
    unsigned int m_creationMask;
    bool m_folderKeepsCreationMode = false; // no default ACL in the target folder
    DirectoryReader m_reader;
    DirectoryListing m_listing;
    DataCopier m_data;
};

} // namespace platform
