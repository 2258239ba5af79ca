#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace volumes {

/// One line of /proc/self/mountinfo, with its escapes decoded.
struct MountInfoEntry
{
    int mountId = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    QString root;           ///< the folder of the file system that is mounted here ("/" for all of it)
    QString mountPoint;
    QStringList mountOptions;   ///< per-mount: "rw"/"ro", "nosuid", …
    QStringList optionalFields; ///< "shared:1", "master:2", …
    QString fileSystemType;     ///< "ext4", "fuseblk", "fuse.sshfs", …
    QString source;             ///< "/dev/sdb1", "server:/export", "fusefat", …
    QStringList superOptions;   ///< per-file-system options

    /// Mounted read-only, per mount or for the whole file system.
    [[nodiscard]] bool isReadOnly() const;

    friend bool operator==(const MountInfoEntry &, const MountInfoEntry &) = default;
};

/// Decodes the kernel's octal escapes ("\040" for a blank, "\134" for a
/// backslash, …); anything else, a lone backslash included, stays as it is.
[[nodiscard]] QByteArray decodeMountField(const QByteArray &field);

/// Parses the whole text of a mountinfo file. Lines that are not complete
/// entries (a truncated last line, garbage) are left out; never fails.
[[nodiscard]] QList<MountInfoEntry> parseMountInfo(const QByteArray &text);

/// The entries that are not hidden under a later mount at the same place.
[[nodiscard]] QList<MountInfoEntry> visibleMounts(const QList<MountInfoEntry> &entries);

/// Options that user space keeps for mount points (fstab, the mount helper's
/// table): mount point → options. They carry hints the kernel does not keep,
/// such as "x-gvfs-hide".
[[nodiscard]] QHash<QString, QStringList> parseFstabOptions(const QByteArray &text);
[[nodiscard]] QHash<QString, QStringList> parseUtabOptions(const QByteArray &text);

} // namespace volumes
