#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace platform {

/// The largest file the file system holding `fd` can store: 4 GiB - 1 on the
/// FAT family (kernel vfat/msdos and FUSE FAT drivers), else unlimited.
/// Checked before a copy so that a too-large file fails at once instead of
/// after writing gigabytes.
[[nodiscard]] std::int64_t maximumFileSize(int fd);

/// Free bytes available to this user on the file system holding `fd`, or -1
/// when unknown. Some drivers answer a full volume with EPERM or EIO; this
/// tells the person what really happened.
[[nodiscard]] std::int64_t availableBytes(int fd);

/// True when the file system holding `fd` treats names that differ only in
/// case as one name: the FAT family and exFAT (kernel or FUSE drivers), and
/// folders with the casefold attribute (ext4, f2fs). For such a folder the
/// attribute of `fd` itself counts; a folder made in it inherits it.
[[nodiscard]] bool foldsCase(int fd);

/// The name such a file system compares: names that give the same key
/// cannot both exist in one folder there.
[[nodiscard]] QString caseFoldingKey(QByteArrayView name);

/// How many descriptors this process may have open (its soft limit).
[[nodiscard]] int openFileLimit();

/// Raises the process's soft limit on open descriptors to its hard limit (at
/// most 2^20) and returns the limit then in force, as openFileLimit does.
int raiseOpenFileLimit();

} // namespace platform
