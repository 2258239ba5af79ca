#include "volumes/mountedvolume.h"

namespace volumes {

QString MountedVolume::description() const
{
    return deviceModel + QStringLiteral(", ") + deviceProtocol;
}

} // namespace volumes
