#include "volumes/volumeeject.h"

#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/udisks2.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace volumes {

namespace {

// A user's own FUSE mount is unmounted by the setuid helper, not umount2().
QString unmountFuseAsUser(const QString &mountPath)
{
    for (const QString &program : {QStringLiteral("fusermount3"), QStringLiteral("fusermount")}) {
        const QString executable = QStandardPaths::findExecutable(program);
        if (executable.isEmpty()) {
            continue;
        }
        QProcess process;
        process.start(executable, {QStringLiteral("-u"), QStringLiteral("--"), mountPath});
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return program + QStringLiteral(" did not finish");
        }
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
            return QString();
        }
        return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    }
    return QString::fromLocal8Bit(std::strerror(EPERM));
}

QString unmountAndEjectAt(const QString &path, const QString &uuid, const QDBusConnection &storageBus)
{
    if (!platform::isMountPoint(path)) {
        return QStringLiteral("%1 is not a mounted volume").arg(path);
    }
    const auto volume = LinuxVolumeTable().volumeAt(path);
    if (!uuid.isEmpty() && (!volume || volume->uuid.compare(uuid, Qt::CaseInsensitive) != 0)) {
        return QStringLiteral("%1 holds another volume").arg(path);
    }
    if (volume && !volume->isNetwork && volume->device.startsWith(QLatin1Char('/'))) {
        if (const auto result = udisks2::unmountAndEject(volume->device, storageBus)) {
            return *result;
        }
    }
    // No MNT_FORCE / MNT_DETACH: a busy volume stays mounted. UMOUNT_NOFOLLOW:
    // the path checked above is the path unmounted, never a link's target.
    // Another program asking the volume for its free space (a file manager,
    // a panel applet) makes it busy for a moment, so a busy answer is asked
    // again a few times before it counts.
    int error = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (umount2(QFile::encodeName(path).constData(), UMOUNT_NOFOLLOW) == 0) {
            return QString();
        }
        error = errno;
        if (error != EBUSY) {
            break;
        }
        QThread::msleep(100);
    }
    if (error == EPERM && volume && volume->fileSystemType.startsWith(QLatin1String("fuse"))) {
        return unmountFuseAsUser(path);
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString unmountAndEject(const QString &mountPath)
{
    return unmountAndEject(mountPath, QDBusConnection::systemBus());
}

QString unmountAndEject(const QString &mountPath, const QDBusConnection &storageBus)
{
    return unmountAndEjectVolume(mountPath, QString(), storageBus);
}

QString unmountAndEjectVolume(const QString &mountPath, const QString &uuid)
{
    return unmountAndEjectVolume(mountPath, uuid, QDBusConnection::systemBus());
}

QString unmountAndEjectVolume(const QString &mountPath, const QString &uuid, const QDBusConnection &storageBus)
{
    const QString path = QDir::cleanPath(mountPath);
    const QString error = unmountAndEjectAt(path, uuid, storageBus);
    // The service unmounts a device, not a path: with the device mounted at
    // two places it may well have taken the other one.
    if (error.isEmpty() && platform::isMountPoint(path)) {
        return QStringLiteral("%1 is still mounted").arg(mountPath);
    }
    return error;
}

} // namespace volumes
