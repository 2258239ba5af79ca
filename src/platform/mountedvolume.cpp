#include "platform/mountedvolume.h"

namespace platform {

QString MountedVolume::description() const
{
    return deviceModel + QStringLiteral(", ") + deviceProtocol;
}

} // namespace platform
