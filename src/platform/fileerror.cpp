#include "platform/fileerror.h"

#include <cerrno>
#include <cstring>

namespace platform {

QString describeFileError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("there is not enough space left on the volume");
    case EFBIG:
        return QStringLiteral("the file is too large for this volume's file system");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("the volume is read-only");
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long for this file system");
    case EILSEQ:
        return QStringLiteral("the name is not allowed on this file system");
    case ENOENT:
        return QStringLiteral("no such file or folder");
    case ENOTDIR:
        return QStringLiteral("a file is in the way where a folder is needed");
    case EISDIR:
        return QStringLiteral("a folder is in the way where the file goes");
    case ENOTEMPTY:
    case EEXIST:
        return QStringLiteral("another item is in the way");
    case ELOOP:
        return QStringLiteral("a symbolic link is in the way");
    case EXDEV:
        return QStringLiteral("the path leaves the volume");
    case EIO:
        return QStringLiteral("input/output error (the device may have been removed)");
    case ENOTCONN:
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
        return QStringLiteral("the volume is no longer connected");
    case ENOSYS:
    case EOPNOTSUPP:
        return QStringLiteral("this volume's file system does not support it");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("too many open files");
    case ENOMEM:
        return QStringLiteral("not enough memory");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("the item is busy");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

bool isNameAllowedOnFat(QByteArrayView name)
{
    if (name.isEmpty()) {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::strchr("\"*/:<>?\\|", c) != nullptr) {
            return false;
        }
    }
    const char last = name.back();
    return last != '.' && last != ' ';
}

} // namespace platform
