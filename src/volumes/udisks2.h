#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

namespace volumes::udisks2 {

/// The storage service's well-known name on the system bus.
inline constexpr const char *serviceName = "org.freedesktop.UDisks2";

/// True when `bus` (normally the system bus) is connected and the storage
/// service runs on it or can be started by it.
[[nodiscard]] bool isAvailable(const QDBusConnection &bus);

/// Unmounts the file system on the block device `deviceNode` through the
/// storage service, locks the encrypted container it may sit in, then powers
/// off the drive when it can be powered off, else ejects its medium when it
/// is ejectable. Nothing when the service does not know the device (the
/// caller then unmounts by itself); else empty text on success or the reason.
/// Blocks until the service answers.
[[nodiscard]] std::optional<QString> unmountAndEject(const QString &deviceNode, const QDBusConnection &bus);

} // namespace volumes::udisks2
