#pragma once

#include <QByteArrayView>
#include <QString>

namespace platform {

/// A short sentence fragment a person can act on for an errno value, such as
/// "there is not enough space left on the volume".
[[nodiscard]] QString describeFileError(int error);

/// True when a FAT-family file system (a typical USB stick or SD card) can
/// hold this name: no control characters, none of " * / : < > ? \ |, and no
/// trailing dot or blank.
[[nodiscard]] bool isNameAllowedOnFat(QByteArrayView name);

} // namespace platform
