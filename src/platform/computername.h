#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

/// The computer's user-visible name: PRETTY_HOSTNAME from /etc/machine-info,
/// else the host name. Never empty and safe as one folder name ("/" and NUL
/// are replaced, "." and ".." are not used).
[[nodiscard]] QString computerName();

/// The PRETTY_HOSTNAME value of a machine-info file's content (shell-style
/// assignments, optionally quoted); empty when absent.
[[nodiscard]] QString prettyHostnameFromMachineInfo(const QByteArray &content);

/// Turns any text into a name usable as a single folder name.
[[nodiscard]] QString folderSafeComputerName(const QString &name);

} // namespace platform
