#pragma once

#include <QDBusConnection>
#include <QString>

namespace volumes {

/// Unmounts the file system mounted at `mountPath`, then powers off or ejects
/// its drive where the drive allows it. Acts only when `mountPath` is itself a
/// mount point, never on the file system that merely contains it, and never
/// forces a busy volume. Returns an empty text on success (`mountPath` is
/// then no longer a mount point), else the reason.
///
/// With the system's storage service (UDisks2) the service unmounts and
/// powers the drive off, as the desktop does. Without it (or for a network
/// share it does not manage) the mount point is unmounted directly; a FUSE
/// mount this user may not unmount directly goes through fusermount.
/// Blocks until done (flushing a slow stick takes seconds): call it off the
/// main thread.
QString unmountAndEject(const QString &mountPath);
/// As above, asking the storage service on `storageBus` instead of the
/// system bus.
QString unmountAndEject(const QString &mountPath, const QDBusConnection &storageBus);
/// As above, but only when the volume mounted at `mountPath` still carries
/// `uuid`: looked up right before the eject, so that a volume mounted at the
/// same path in the meantime is left alone.
QString unmountAndEjectVolume(const QString &mountPath, const QString &uuid);
QString unmountAndEjectVolume(const QString &mountPath, const QString &uuid, const QDBusConnection &storageBus);

} // namespace volumes
