#include "volumes/volumechanges.h"

#include <QHash>

namespace volumes {

namespace {

QString keyOf(const MountedVolume &volume)
{
    return QString::number(volume.mountId) + QLatin1Char(':') + volume.mountPath;
}

} // namespace

QList<VolumeChange> volumeChanges(const QList<MountedVolume> &before, const QList<MountedVolume> &after)
{
    QHash<QString, const MountedVolume *> earlier;
    for (const MountedVolume &volume : before) {
        earlier.insert(keyOf(volume), &volume);
    }
    QHash<QString, const MountedVolume *> later;
    for (const MountedVolume &volume : after) {
        later.insert(keyOf(volume), &volume);
    }

    QList<VolumeChange> changes;
    for (const MountedVolume &volume : before) {
        if (!later.contains(keyOf(volume))) {
            changes.append({VolumeChange::Kind::Unmounted, volume, QString()});
        }
    }
    for (const MountedVolume &volume : after) {
        const MountedVolume *old = earlier.value(keyOf(volume));
        if (!old) {
            changes.append({VolumeChange::Kind::Mounted, volume, QString()});
        } else if (old->localizedName != volume.localizedName) {
            changes.append({VolumeChange::Kind::Renamed, volume, old->localizedName});
        }
    }
    return changes;
}

} // namespace volumes
