#pragma once

#include "backup/runservices.h"
#include "platform/fileattributes.h"
#include "platform/uniquefd.h"
#include "platform/volumeflusher.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

/// The destination of one run: the volume's root folder, held open so that
/// every write goes onto that file system (never onto the computer's own disk
/// should the volume go away), and the backup root "Vellory/<computer>" on it.
class BackupVolume
{
public:
    /// Opens `volumePath` when `machine` calls it a mount point; otherwise
    /// the volume counts as not connected. The backup root is named after
    /// `machine`'s computer name.
    BackupVolume(const QString &volumePath, const RunServices &machine);

    [[nodiscard]] bool isOpen() const { return m_fd.isValid(); }
    /// Open, and still mounted at its path.
    [[nodiscard]] bool isReachable() const;
    [[nodiscard]] int fd() const { return m_fd.get(); }
    [[nodiscard]] const QString &path() const { return m_path; }
    [[nodiscard]] QByteArray nativePath() const;
    /// Where a source folder's copy goes, relative to the volume's root.
    [[nodiscard]] QByteArray targetPathOf(const QByteArray &sourcePath) const;
    /// True for the volume's own root folder (a source that contains the
    /// volume must not back the volume up into itself).
    [[nodiscard]] bool isVolumeRoot(const platform::FileAttributes &folder) const;
    /// Largest file the volume's file system can hold.
    [[nodiscard]] std::int64_t maximumFileSize() const { return m_maximumFileSize; }

    /// Free bytes on the volume now, or -1 when unknown.
    [[nodiscard]] std::int64_t availableBytes() const;

    /// Writes everything written to the volume so far onto the medium, also
    /// where its file system runs in user space; 0 or an errno value. Any
    /// thread.
    [[nodiscard]] int flush() const;
    /// A flush came back without the device having been asked to write: the
    /// file system's own process has no way to be flushed.
    [[nodiscard]] bool flushMissedDevice() const { return m_flusher && m_flusher->flushMissedDevice(); }
    /// Its file system is run by a process of its own (FUSE).
    [[nodiscard]] bool runsInUserSpace() const { return m_flusher && m_flusher->runsInUserSpace(); }

    /// Lets go of the volume, so that it can be ejected.
    void close()
    {
        m_flusher.reset();
        m_fd.reset();
    }

private:
    QString m_path;
    std::function<bool(const QString &path)> m_isMountPoint;
    QByteArray m_rootRelative;
    platform::UniqueFd m_fd;
    std::unique_ptr<platform::VolumeFlusher> m_flusher;
    platform::FileAttributes m_root;
    std::int64_t m_maximumFileSize = 0;
};
