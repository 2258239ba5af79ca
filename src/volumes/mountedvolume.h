#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

namespace volumes {

/// One mounted file system as the rest of the program sees it: its identity,
/// where it is, how big it is, what this user may do with it and what kind of
/// device carries it. A plain value, copied freely.
struct MountedVolume
{
    /// Distinguishes two mounts at the same path one after the other (the
    /// kernel's mount id); 0 where the source has no such number.
    int mountId = 0;

    QString uuid;          ///< as the file system reports it; empty when it has none
    QString label;         ///< the file system's label; empty when it has none
    QString localizedName; ///< label, else the mount folder's name
    QString mountPath;     ///< the mount root, clean absolute path
    QString device;        ///< mount source (a device node, a share address, …)
    QString fileSystemType;

    std::optional<std::int64_t> totalBytes;
    std::optional<std::int64_t> availableBytes; ///< available to this user

    bool readable = false;  ///< this user may list and open its root
    bool writable = false;  ///< this user may create files in its root, on a read-write mount of a writable device
    bool browsable = false; ///< a file manager shows it (a real device or network share, not a system mount)
    bool isNetwork = false;

    QString deviceModel;    ///< e.g. the stick's model; empty when unknown
    QString deviceProtocol; ///< "USB", "SATA", …, "Network"; empty when unknown

    /// Model, a comma and a blank, protocol: "Cruzer Blade, USB", ", Network",
    /// or ", " alone when nothing is known.
    [[nodiscard]] QString description() const;

    friend bool operator==(const MountedVolume &, const MountedVolume &) = default;
};

} // namespace volumes

Q_DECLARE_METATYPE(volumes::MountedVolume)
