#pragma once

#include "volumes/mountedvolume.h"

#include <cstdint>

// A fake USB stick as the volume table reports it.
inline volumes::MountedVolume fakeStick(const QString &uuid, const QString &name, const QString &path,
                                         std::int64_t total = 8'000'000'000, std::int64_t available = 6'000'000'000)
{
    volumes::MountedVolume volume;
    volume.uuid = uuid;
    volume.label = name;
    volume.localizedName = name;
    volume.mountPath = path;
    volume.device = QStringLiteral("/dev/sdz1");
    volume.fileSystemType = QStringLiteral("exfat");
    volume.totalBytes = total;
    volume.availableBytes = available;
    volume.readable = true;
    volume.writable = true;
    volume.browsable = true;
    volume.deviceModel = QStringLiteral("Cruzer Blade");
    volume.deviceProtocol = QStringLiteral("USB");
    return volume;
}
