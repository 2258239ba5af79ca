#include "volumes/linuxvolumetable.h"

#include "volumes/blockdeviceinfo.h"
#include "volumes/mountinfo.h"
#include "volumes/mountvisibility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QUuid>

#include <blkid/blkid.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace volumes {

namespace detail {

/// One look into a mounted tree, under the probes' lock.
struct Look
{
    QString key;
    bool finished = false;
    bool givenUp = false;  ///< counted in `stuck` until it finishes
};

/// The looks under way, those given up on that are still stuck in the
/// kernel (how many, by what they look at), and the answer bound.
struct VolumeProbes
{
    QMutex lock;
    QSet<std::shared_ptr<Look>> underWay;
    QHash<QString, int> stuck;
    std::chrono::milliseconds bound{2000};

    // Both under the lock.
    void giveUp(const std::shared_ptr<Look> &look)
    {
        if (!look->finished && !look->givenUp) {
            look->givenUp = true;
            ++stuck[look->key];
        }
    }
    void finish(const std::shared_ptr<Look> &look)
    {
        look->finished = true;
        underWay.remove(look);
        if (look->givenUp && --stuck[look->key] == 0) {
            stuck.remove(look->key);
        }
    }
};

} // namespace detail

namespace {

// Runs `look` (which may wait on the file system at `key`) on a thread of
// its own and waits at most the bound for it. Nothing when it does not
// answer in time, or when an earlier look at `key` was given up and is
// still stuck; the stuck thread finishes whenever the file system answers.
// Looks at the same key that are merely under way (two readings at once)
// do not hold each other up.
template<typename T>
std::optional<T> lookWithinBound(const std::shared_ptr<detail::VolumeProbes> &probes, const QString &key,
                                 std::function<T()> look)
{
    std::chrono::milliseconds bound;
    {
        QMutexLocker locker(&probes->lock);
        if (probes->stuck.contains(key)) {
            qWarning("The volume at %s still does not answer; left out of this reading", qPrintable(key));
            return std::nullopt;
        }
        bound = probes->bound;
    }
    struct Answer
    {
        std::mutex lock;
        std::condition_variable arrived;
        std::optional<T> value;
    };
    auto answer = std::make_shared<Answer>();
    auto state = std::make_shared<detail::Look>();
    state->key = key;
    auto work = [probes, state, answer, look] {
        T value = look();
        {
            // Free before the waiter hears of it, which may look again at once.
            QMutexLocker locker(&probes->lock);
            probes->finish(state);
        }
        {
            std::lock_guard<std::mutex> guard(answer->lock);
            answer->value = std::move(value);
        }
        answer->arrived.notify_all();
    };
    {
        QMutexLocker locker(&probes->lock);
        probes->underWay.insert(state);
    }
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error &) {
        // No thread to be had (the process is at its limits): look directly
        // rather than leave the volume out.
        {
            QMutexLocker locker(&probes->lock);
            probes->finish(state);
        }
        return look();
    }
    std::unique_lock<std::mutex> guard(answer->lock);
    if (!answer->arrived.wait_for(guard, bound, [&answer] { return answer->value.has_value(); })) {
        {
            QMutexLocker locker(&probes->lock);
            probes->giveUp(state);
        }
        qWarning("The volume at %s does not answer within %lld ms; left out of this reading", qPrintable(key),
                 static_cast<long long>(bound.count()));
        return std::nullopt;
    }
    return std::move(answer->value);
}

struct MountSources
{
    QList<MountInfoEntry> entries;              // not hidden under another mount
    QHash<QString, QStringList> userOptions;    // by mount point
};

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

// The kernel's mount table in one read() call: each call sees the table as
// it is at that moment, but a table read in pieces while mounts change may
// miss an entry that was there all along (a mounted volume would seem gone).
QByteArray readMountTable()
{
    const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return QByteArray();
    }
    QByteArray table;
    for (qsizetype size = 256 * 1024; size <= 64 * 1024 * 1024; size *= 4) {
        table.resize(size);
        const ssize_t got = pread(fd, table.data(), size_t(size), 0);
        if (got < 0) {
            table.clear();
            break;
        }
        if (got < size) {
            table.truncate(got);
            break;
        }
    }
    close(fd);
    return table;
}

MountSources readMountSources()
{
    MountSources sources;
    sources.entries = visibleMounts(parseMountInfo(readMountTable()));
    sources.userOptions = parseFstabOptions(readWhole(QStringLiteral("/etc/fstab")));
    // The mount helper's own table wins: it holds what was really asked for.
    const auto utab = parseUtabOptions(readWhole(QStringLiteral("/run/mount/utab")));
    for (auto it = utab.constBegin(); it != utab.constEnd(); ++it) {
        sources.userOptions.insert(it.key(), it.value());
    }
    return sources;
}

// The block device a mount stands on, or 0. FUSE file systems on a device
// (exFAT, NTFS) name the device as their source; kernel file systems also
// give its number (btrfs gives an anonymous one, hence the source first).
// A source outside /dev may be a file on a hung share (an image mounted
// through FUSE): it is looked at within the answer bound.
dev_t blockDeviceOf(const std::shared_ptr<detail::VolumeProbes> &probes, const MountInfoEntry &entry)
{
    if (entry.source.startsWith(QLatin1Char('/'))) {
        const QByteArray source = QFile::encodeName(entry.source);
        auto look = [source]() -> dev_t {
            struct stat info {};
            return stat(source.constData(), &info) == 0 && S_ISBLK(info.st_mode) ? info.st_rdev : 0;
        };
        const dev_t device = entry.source.startsWith(QLatin1String("/dev/"))
            ? look()
            : lookWithinBound<dev_t>(probes, entry.source, look).value_or(0);
        if (device != 0) {
            return device;
        }
    }
    if (entry.major != 0 && !isNetworkFileSystem(entry.fileSystemType)
        && QFileInfo::exists(QStringLiteral("/sys/dev/block/%1:%2").arg(entry.major).arg(entry.minor))) {
        return makedev(entry.major, entry.minor);
    }
    return 0;
}

QByteArray deviceNode(const MountInfoEntry &entry, dev_t device)
{
    if (entry.source.startsWith(QLatin1Char('/'))) {
        struct stat info {};
        const QByteArray source = QFile::encodeName(entry.source);
        if (stat(source.constData(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == device) {
            return source;
        }
    }
    char *name = blkid_devno_to_devname(device);
    if (!name) {
        return QByteArray();
    }
    QByteArray node(name);
    std::free(name);
    return node;
}

struct Identity
{
    QString uuid;
    QString label;
    bool found = false; // a superblock was recognised
};

// Reads UUID and label from the device with a probe limited to `types`
// (all types when null). Nothing when the device cannot be opened (an
// ordinary user may not read raw devices); an empty identity when no
// superblock of those types is there.
std::optional<Identity> probeDeviceFor(const QByteArray &node, char **types)
{
    blkid_probe probe = blkid_new_probe_from_filename(node.constData());
    if (!probe) {
        return std::nullopt;
    }
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    if (types) {
        blkid_probe_filter_superblocks_type(probe, BLKID_FLTR_ONLYIN, types);
    }
    Identity identity;
    // 0: found; 1: nothing found; negative: ambiguous or failed. Either of
    // the last two leaves the identity empty rather than guessing.
    if (blkid_do_safeprobe(probe) == 0) {
        const char *value = nullptr;
        if (blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0 && value) {
            identity.uuid = QString::fromUtf8(value);
        }
        if (blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value) {
            identity.label = QString::fromUtf8(value);
        }
        identity.found = true;
    }
    blkid_free_probe(probe);
    return identity;
}

// Reads UUID and label from the device itself. `mountedType` is the kernel's
// name for the file system mounted from it: the probe first reads only that
// type's superblock instead of every type libblkid knows (each one a read
// and a buffer, which showed in the memory of a run's closing eject). A
// type libblkid names differently (an ext3 volume mounted by the ext4
// driver, ntfs3) or a FUSE type gets the full probe.
std::optional<Identity> probeDevice(const QByteArray &node, const QString &mountedType)
{
    if (node.isEmpty()) {
        return std::nullopt;
    }
    QByteArray type = mountedType.toLatin1();
    if (!type.isEmpty() && !mountedType.startsWith(QLatin1String("fuse")) && blkid_known_fstype(type.constData())) {
        char *types[] = {type.data(), nullptr};
        const auto identity = probeDeviceFor(node, types);
        if (!identity || identity->found) {
            return identity;
        }
    }
    return probeDeviceFor(node, nullptr);
}

// udev's links name the device by UUID and label; used when the device
// itself may not be read.
QString linkNameFor(const QString &folder, const QString &canonicalNode)
{
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links) {
        if (link.canonicalFilePath() == canonicalNode) {
            return link.fileName();
        }
    }
    return QString();
}

// The label the kernel holds for a mounted file system (ext4, btrfs, xfs, …).
QString kernelLabel(const QString &mountPoint)
{
    const int fd = open(QFile::encodeName(mountPoint).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return QString();
    }
    char label[FSLABEL_MAX + 1] = {};
    const bool ok = ioctl(fd, FS_IOC_GETFSLABEL, label) == 0;
    close(fd);
    return ok ? QString::fromUtf8(label) : QString();
}

Identity identityOf(const MountInfoEntry &entry, dev_t device, bool lookInside)
{
    const QByteArray node = deviceNode(entry, device);
    if (const auto probed = probeDevice(node, entry.fileSystemType)) {
        return *probed;
    }
    Identity identity;
    const QString canonical = QFileInfo(QFile::decodeName(node)).canonicalFilePath();
    if (!canonical.isEmpty()) {
        identity.uuid = linkNameFor(QStringLiteral("/dev/disk/by-uuid"), canonical);
        identity.label = decodeUdevEscapes(linkNameFor(QStringLiteral("/dev/disk/by-label"), canonical));
    }
    // A FUSE file system would ask its daemon; only kernel ones are asked.
    if (lookInside && !entry.fileSystemType.startsWith(QLatin1String("fuse"))) {
        const QString label = kernelLabel(entry.mountPoint);
        if (!label.isEmpty()) {
            identity.label = label;
        }
    }
    return identity;
}

// "This user may": the effective user's permission, as access() decides it.
bool userMay(const QString &path, int mode)
{
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

void lookInto(MountedVolume &volume, const MountInfoEntry &entry, bool deviceReadOnly);

// Everything the table tells about one mount on `device` (0: none).
MountedVolume describe(const MountInfoEntry &entry, dev_t device, const QStringList &userOptions, bool lookInside)
{
    MountedVolume volume;
    volume.mountId = entry.mountId;
    volume.mountPath = entry.mountPoint;
    volume.device = entry.source;
    volume.fileSystemType = entry.fileSystemType;
    volume.isNetwork = isNetworkFileSystem(entry.fileSystemType);

    // Browsable: a file manager shows it (see isShownByFileManager()).
    volume.browsable = isShownByFileManager(entry, device != 0, userOptions);

    bool deviceReadOnly = false;
    if (device != 0) {
        const Identity identity = identityOf(entry, device, lookInside);
        volume.uuid = identity.uuid;
        volume.label = identity.label;
        const BlockDeviceInfo info = readBlockDeviceInfo(major(device), minor(device));
        volume.deviceModel = info.model;
        volume.deviceProtocol = info.protocol;
        deviceReadOnly = info.readOnly;
    } else if (volume.isNetwork) {
        volume.uuid = networkShareUuid(entry.source);
        volume.deviceProtocol = QStringLiteral("Network");
    }
    volume.localizedName = volume.label.isEmpty() ? QFileInfo(entry.mountPoint).fileName() : volume.label;
    if (lookInside) {
        lookInto(volume, entry, deviceReadOnly);
    }
    return volume;
}

// Sizes and what this user may do: the calls that wait on the file system.
void lookInto(MountedVolume &volume, const MountInfoEntry &entry, bool deviceReadOnly)
{
    const QByteArray path = QFile::encodeName(entry.mountPoint);
    struct statvfs sizes {};
    bool mountReadOnly = entry.isReadOnly();
    if (statvfs(path.constData(), &sizes) == 0) {
        volume.totalBytes = std::int64_t(sizes.f_blocks) * std::int64_t(sizes.f_frsize);
        volume.availableBytes = std::int64_t(sizes.f_bavail) * std::int64_t(sizes.f_frsize);
        mountReadOnly = mountReadOnly || (sizes.f_flag & ST_RDONLY);
    }
    // Readable: this user may list the root and open what is in it.
    volume.readable = userMay(entry.mountPoint, R_OK | X_OK);
    // Writable: this user may create files in the root, and neither the mount
    // nor the device is read-only (a locked card, a write-protected stick).
    volume.writable = !mountReadOnly && !deviceReadOnly && userMay(entry.mountPoint, W_OK | X_OK);
}

} // namespace

QString networkShareUuid(const QString &source)
{
    static const QUuid shareNamespace(QStringLiteral("f6c96608-d5f5-463c-8a29-170fcbdbf2e6"));
    return QUuid::createUuidV5(shareNamespace, source.toUtf8()).toString(QUuid::WithoutBraces).toUpper();
}

QString decodeUdevEscapes(const QString &name)
{
    QByteArray result;
    const QByteArray bytes = name.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\\' && i + 3 < bytes.size() && bytes[i + 1] == 'x') {
            bool ok = false;
            const int value = bytes.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                result.append(char(value));
                i += 3;
                continue;
            }
        }
        result.append(bytes[i]);
    }
    return QString::fromUtf8(result);
}

LinuxVolumeTable::LinuxVolumeTable()
    : m_probes(std::make_shared<detail::VolumeProbes>())
{
}

void LinuxVolumeTable::setAnswerBound(std::chrono::milliseconds bound)
{
    QMutexLocker locker(&m_probes->lock);
    m_probes->bound = bound;
}

void LinuxVolumeTable::giveUpLooksUnderWay()
{
    QMutexLocker locker(&m_probes->lock);
    for (const std::shared_ptr<detail::Look> &look : std::as_const(m_probes->underWay)) {
        m_probes->giveUp(look);
    }
}

QList<MountedVolume> LinuxVolumeTable::volumes() const
{
    return readVolumes(Detail::full);
}

QList<MountedVolume> LinuxVolumeTable::volumeIdentities() const
{
    return readVolumes(Detail::identity);
}

QList<MountedVolume> LinuxVolumeTable::readVolumes(Detail detail) const
{
    const MountSources sources = readMountSources();
    QList<MountedVolume> result;
    QSet<dev_t> seenDevices;
    QSet<QString> seenShares;
    for (const MountInfoEntry &entry : sources.entries) {
        const QStringList options = sources.userOptions.value(entry.mountPoint);
        const dev_t device = blockDeviceOf(m_probes, entry);
        if (!isShownByFileManager(entry, device != 0, options)) {
            continue;
        }
        // A device mounted twice is one volume: the first mount stands for it.
        if (device != 0) {
            if (seenDevices.contains(device)) {
                continue;
            }
            seenDevices.insert(device);
        } else {
            if (seenShares.contains(entry.source)) {
                continue;
            }
            seenShares.insert(entry.source);
        }
        if (detail == Detail::identity) {
            result.append(describe(entry, device, options, false));
        } else if (auto volume = lookWithinBound<MountedVolume>(m_probes, entry.mountPoint, [entry, device, options] {
                       return describe(entry, device, options, true);
                   })) {
            result.append(*volume);
        }
    }
    return result;
}

std::optional<MountedVolume> LinuxVolumeTable::volumeAt(const QString &path) const
{
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QString clean = QDir::cleanPath(path);
    const QString canonical = lookWithinBound<QString>(m_probes, clean, [clean] {
                                  return QFileInfo(clean).canonicalFilePath();
                              }).value_or(QString());
    if (canonical.isEmpty()) {
        return std::nullopt;
    }
    const MountSources sources = readMountSources();
    // "Is a volume": the path is the root of a mounted file system.
    for (const MountInfoEntry &entry : sources.entries) {
        if (entry.mountPoint == canonical) {
            const QStringList options = sources.userOptions.value(entry.mountPoint);
            const dev_t device = blockDeviceOf(m_probes, entry);
            return lookWithinBound<MountedVolume>(m_probes, entry.mountPoint, [entry, device, options] {
                return describe(entry, device, options, true);
            });
        }
    }
    return std::nullopt;
}

QString LinuxVolumeTable::unreadableReason(const QString &path) const
{
    const QString name = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();
    // A look at an item on a hung share waits for it: within the bound.
    const std::optional<int> error = path.isEmpty() ? std::optional<int>(ENOENT)
                                                    : lookWithinBound<int>(m_probes, QDir::cleanPath(path), [path] {
                                                          struct stat info {};
                                                          return stat(QFile::encodeName(path).constData(), &info) == 0
                                                                     ? 0
                                                                     : errno;
                                                      });
    if (!error) {
        return QStringLiteral("The item \"%1\" can't be read: it does not answer. Check the share or drive it is on, "
                              "then try again.")
            .arg(name);
    }
    if (*error != 0) {
        return QStringLiteral("The item \"%1\" can't be read: %2.").arg(name, QString::fromLocal8Bit(std::strerror(*error)));
    }
    return QString();
}

} // namespace volumes
