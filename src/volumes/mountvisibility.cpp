#include "volumes/mountvisibility.h"

namespace volumes {

namespace {

bool isBelow(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool hasOption(const QStringList &options, const QString &name)
{
    return options.contains(name) || options.contains(QStringLiteral("comment=") + name);
}

// Whether the entry mounts the whole file system rather than one of its
// folders (a bind mount). A btrfs subvolume mounted on its own counts as whole.
bool mountsWholeFileSystem(const MountInfoEntry &entry)
{
    if (entry.root == QLatin1String("/")) {
        return true;
    }
    return entry.superOptions.contains(QStringLiteral("subvol=") + entry.root);
}

} // namespace

bool isNetworkFileSystem(const QString &fileSystemType)
{
    static const QStringList kernelTypes = {
        QStringLiteral("nfs"),  QStringLiteral("nfs4"),   QStringLiteral("cifs"),
        QStringLiteral("smb3"), QStringLiteral("smbfs"),  QStringLiteral("ncpfs"),
        QStringLiteral("afs"),  QStringLiteral("ceph"),   QStringLiteral("coda"),
        QStringLiteral("9p"),   QStringLiteral("davfs"),  QStringLiteral("glusterfs"),
        QStringLiteral("lustre"), QStringLiteral("orangefs"),
    };
    static const QStringList fuseTypes = {
        QStringLiteral("sshfs"), QStringLiteral("davfs"), QStringLiteral("davfs2"),
        QStringLiteral("rclone"), QStringLiteral("s3fs"), QStringLiteral("glusterfs"),
        QStringLiteral("curlftpfs"), QStringLiteral("smbnetfs"), QStringLiteral("gcsfuse"),
        QStringLiteral("cephfs"), QStringLiteral("ceph-fuse"),
    };
    if (kernelTypes.contains(fileSystemType)) {
        return true;
    }
    if (fileSystemType.startsWith(QLatin1String("fuse."))) {
        return fuseTypes.contains(fileSystemType.mid(5));
    }
    return false;
}

bool isSystemMountPoint(const QString &mountPoint)
{
    static const QStringList systemTrees = {
        QStringLiteral("/boot"), QStringLiteral("/efi"), QStringLiteral("/proc"),
        QStringLiteral("/sys"),  QStringLiteral("/dev"), QStringLiteral("/run"),
        QStringLiteral("/usr"),  QStringLiteral("/var"), QStringLiteral("/etc"),
        QStringLiteral("/opt"),  QStringLiteral("/srv"), QStringLiteral("/snap"),
        QStringLiteral("/lib"),  QStringLiteral("/lib64"), QStringLiteral("/bin"),
        QStringLiteral("/sbin"),
    };
    static const QStringList systemFolders = {
        QStringLiteral("/home"), QStringLiteral("/tmp"), QStringLiteral("/root"),
    };
    // Removable media that the desktop mounts for the user.
    if (isBelow(mountPoint, QStringLiteral("/run/media")) && mountPoint != QLatin1String("/run/media")) {
        return false;
    }
    if (systemFolders.contains(mountPoint)) {
        return true;
    }
    for (const QString &tree : systemTrees) {
        if (isBelow(mountPoint, tree)) {
            return true;
        }
    }
    return false;
}

bool isShownByFileManager(const MountInfoEntry &entry, bool onBlockDevice, const QStringList &userOptions)
{
    if (hasOption(userOptions, QStringLiteral("x-gvfs-hide"))) {
        return false;
    }
    if (!onBlockDevice && !isNetworkFileSystem(entry.fileSystemType)) {
        return false;
    }
    if (!mountsWholeFileSystem(entry)) {
        return false;
    }
    if (isSystemMountPoint(entry.mountPoint)) {
        return hasOption(userOptions, QStringLiteral("x-gvfs-show"));
    }
    return true;
}

} // namespace volumes
