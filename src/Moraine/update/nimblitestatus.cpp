#include "Moraine/update/nimblitestatus.h"

namespace moraine {

QString statusName(NIMBLiteStatus status)
{
    switch (status) {
    case NIMBLiteStatus::idle:
        return QStringLiteral("idle");
    case NIMBLiteStatus::busy:
        return QStringLiteral("busy");
    case NIMBLiteStatus::cancel:
        return QStringLiteral("cancel");
    case NIMBLiteStatus::error:
        return QStringLiteral("error");
    case NIMBLiteStatus::upToDate:
        return QStringLiteral("upToDate");
    case NIMBLiteStatus::updateAvailable:
        return QStringLiteral("updateAvailable");
    case NIMBLiteStatus::noUpdateForThisMac:
        return QStringLiteral("noUpdateForThisMac");
    case NIMBLiteStatus::noUpdateAtThisTime:
        return QStringLiteral("noUpdateAtThisTime");
    case NIMBLiteStatus::formatInvalid:
        return QStringLiteral("formatInvalid");
    case NIMBLiteStatus::maintenance:
        return QStringLiteral("maintenance");
    }
    return QStringLiteral("unknown");
}

int stateDigit(NIMBLiteStatus status)
{
    switch (status) {
    case NIMBLiteStatus::error:
        return 0;
    case NIMBLiteStatus::upToDate:
        return 1;
    case NIMBLiteStatus::updateAvailable:
        return 2;
    case NIMBLiteStatus::noUpdateForThisMac:
        return 3;
    case NIMBLiteStatus::formatInvalid:
        return 5;
    case NIMBLiteStatus::maintenance:
        return 6;
    default:
        return 4;
    }
}

QString cachePolicyName(CachePolicy policy)
{
    return policy == CachePolicy::useProtocolCachePolicy ? QStringLiteral("useProtocolCachePolicy")
                                                         : QStringLiteral("reloadIgnoringLocalCacheData");
}

} // namespace moraine
