#pragma once

#include "platform/directoryops.h"

#include <QByteArray>
#include <QString>

#include <functional>

/// What a backup or verify run asks of the machine, handed to it by whoever
/// starts it: jobs pass this machine's (system()), tests pass fakes that let
/// a plain temporary folder stand for the volume. Each member is called on
/// the run's own thread; isMountPoint also on its copy workers.
struct RunServices
{
    /// Whether the volume mounted at `path` carries `uuid`.
    std::function<bool(const QString &path, const QString &uuid)> volumeCarriesUuid;
    /// The name of the folder the computer's copies go under.
    std::function<QString()> computerName;
    /// Whether the volume is ejected when a run closes.
    std::function<bool()> autoEjectOnComplete;
    /// Unmounts and ejects the volume at `path`, only while it still carries
    /// `uuid` (any volume there when `uuid` is empty); the reason it failed,
    /// empty on success.
    std::function<QString(const QString &path, const QString &uuid)> eject;

    /// Whether `path` is itself a mount point: only then may it stand as the
    /// volume, and only while it is one is the volume reachable.
    std::function<bool(const QString &path)> isMountPoint;
    /// A handle of the root folder at `path`, refused (ENOTDIR) unless it is
    /// a mount point's root at the moment it is opened.
    std::function<platform::OpenResult(const QByteArray &path)> openVolumeRoot;

    /// This machine's volumes, name, preference and eject.
    [[nodiscard]] static RunServices system();
};
