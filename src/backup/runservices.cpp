#include "backup/runservices.h"

#include "platform/computername.h"
#include "platform/mountpoint.h"
#include "platform/settings.h"
#include "volumes/linuxvolumetable.h"
#include "volumes/volumeeject.h"
#include "volumes/volumevalidator.h"

RunServices RunServices::system()
{
    RunServices services;
    services.volumeCarriesUuid = [](const QString &path, const QString &uuid) {
        return volumes::volumeCarriesUuid(volumes::LinuxVolumeTable(), path, uuid);
    };
    services.computerName = [] { return platform::computerName(); };
    services.autoEjectOnComplete = [] { return platform::Settings().autoEjectOnComplete(); };
    services.eject = [](const QString &path, const QString &uuid) {
        return uuid.isEmpty() ? volumes::unmountAndEject(path) : volumes::unmountAndEjectVolume(path, uuid);
    };
    services.isMountPoint = [](const QString &path) { return platform::isMountPoint(path); };
    services.openVolumeRoot = [](const QByteArray &path) { return platform::openMountRoot(path); };
    return services;
}
