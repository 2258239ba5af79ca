// The volume table, validation, monitor and eject on loop devices, and a
// stand-in storage service for what the real one (realstorageservice_test)
// cannot be made to do. Needs root and dbus-daemon.
#include "hangingshare.h"
#include "loopvolume.h"
#include "privatebus.h"
#include "systemcommands.h"

#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"
#include "volumes/volumeejector.h"
#include "volumes/volumevalidator.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using volumes::MountedVolume;

namespace {

constexpr int eventTimeoutMs = 10000;
constexpr int sizeMiB = 16;

// What the table tells the user "nobody" (who may not open the raw device) about the
// volume at `path`, as bits: 1 its label is `label`, 2 readable, 4 writable; 8 none, -1 failed.
int asNobody(const QString &path, const QString &label)
{
    const pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0
            || setresuid(nobody, nobody, nobody) != 0) {
            _exit(255);
        }
        const auto volume = volumes::LinuxVolumeTable().volumeAt(path);
        _exit(!volume ? 8 : (volume->label == label ? 1 : 0) | (volume->readable ? 2 : 0) | (volume->writable ? 4 : 0));
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) != 255
               ? WEXITSTATUS(status)
               : -1;
}

const QString serviceName = QStringLiteral("org.freedesktop.UDisks2");
const QString rootPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockPath = QStringLiteral("/org/freedesktop/UDisks2/block_devices/loop_test");
const QString drivePath = QStringLiteral("/org/freedesktop/UDisks2/drives/Test_Stick");

// Answers like the storage service for one ejectable drive that can be powered
// off, and records what it was asked; the code under test calls from another thread.
class StandInStorageService : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (member == QLatin1String("ResolveDevice")) {
            const QString path = qdbus_cast<QVariantMap>(args.value(0)).value(QStringLiteral("path")).toString();
            calls.append(QStringLiteral("ResolveDevice ") + path);
            const QList<QDBusObjectPath> found = path == deviceNode ? QList{QDBusObjectPath(blockPath)}
                                                                      : QList<QDBusObjectPath>();
            return connection.send(message.createReply(QVariant::fromValue(found)));
        }
        if (member == QLatin1String("Get")) {
            const QString name = args.value(1).toString();
            calls.append(QStringLiteral("Get ") + name + u' ' + message.path());
            const QVariantMap properties{{QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(drivePath))},
                                         {QStringLiteral("CanPowerOff"), true},
                                         {QStringLiteral("Ejectable"), true}};
            if (!properties.contains(name)) {
                return connection.send(message.createErrorReply(QDBusError::UnknownProperty, name));
            }
            return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name)))));
        }
        calls.append(member + u' ' + message.path());
        if (member == QLatin1String("Unmount") && !busy.isEmpty()) {
            return connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"), busy));
        }
        if (member == QLatin1String("Unmount") && !unmountAt.isEmpty()) {
            QProcess::execute(QStringLiteral("umount"), {unmountAt});
        }
        return connection.send(message.createReply());
    }

    QString deviceNode; // the one device it knows
    // Unmount unmounts the device here (the real service picks one of its places).
    QString unmountAt;
    QString busy; // Unmount's refusal, as for a volume in use
    QStringList calls;
};

// Ejects on a thread of its own (it blocks on the stand-in this thread runs), clearing the calls.
QString ejectServed(StandInStorageService &service, const QString &mountPath, const QDBusConnection &bus)
{
    service.calls.clear();
    auto ejected = std::async(std::launch::async, [&] { return volumes::unmountAndEject(mountPath, bus); });
    QTest::qWaitFor([&] { return ejected.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
    return ejected.get();
}

// Waits for the first event of `spy` about `mountPath` (other tests may be
// mounting volumes at the same time); its arguments, or a failure and none.
QList<QVariant> waitForEventAt(QSignalSpy &spy, const QString &mountPath)
{
    QList<QVariant> found;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (const QList<QVariant> &event : spy) {
            if (event.value(0).value<MountedVolume>().mountPath == mountPath) {
                found = event;
                return true;
            }
        }
        return false;
    }, eventTimeoutMs)) << "no event at " << mountPath.toStdString();
    return found;
}

} // namespace

TEST(RealVolumes, TableValidatorAndEjectKnowVolumesTheirRightsAndTheirIdentity)
{
    const volumes::LinuxVolumeTable table;
    const volumes::VolumeValidator validator(table);
    LoopVolume ext4(LoopVolume::Kind::Ext4, QStringLiteral("EXT STICK"), sizeMiB);
    SKIP_WITHOUT(ext4);
    LoopVolume exfat(LoopVolume::Kind::ExFat, QStringLiteral("CAMERA"), sizeMiB);
    SKIP_WITHOUT(exfat);
    // A mount path with a blank reaches the table escaped.
    const QString place = QFileInfo(ext4.mountPath()).path();
    const QString root = place + QStringLiteral("/my stick");
    ASSERT_TRUE(ext4.unmount() && ext4.mount(root));

    const std::tuple<LoopVolume *, QString, QString> rows[] = {
        {&ext4, QStringLiteral("EXT STICK"), QStringLiteral("ext4")},
        {&exfat, QStringLiteral("CAMERA"), QStringLiteral("fuseblk")}};
    for (const auto &[loop, label, type] : rows) {
        const QString path = loop->mountPath();
        SCOPED_TRACE(path.toStdString());
        const QList<MountedVolume> all = table.volumes();
        const auto listed = std::find_if(all.begin(), all.end(), [&](const auto &v) { return v.mountPath == path; });
        ASSERT_NE(listed, all.end()) << "not in the table";
        const MountedVolume volume = *listed;
        EXPECT_EQ(volume.uuid, blkidValue(loop->device(), QStringLiteral("UUID")));
        EXPECT_EQ(volume.label, label);
        EXPECT_EQ(volume.fileSystemType, type);
        ASSERT_TRUE(volume.totalBytes && volume.availableBytes);
        EXPECT_GT(*volume.totalBytes, 8LL * 1024 * 1024);
        EXPECT_LE(*volume.totalBytes, qint64(sizeMiB) * 1024 * 1024);
        EXPECT_TRUE(volume.readable && volume.writable && volume.browsable && !volume.isNetwork);
        EXPECT_EQ(volume.description(), QStringLiteral("volume.img, Virtual"));

        // The available space is read afresh.
        QFile fill(path + QStringLiteral("/fill.bin"));
        ASSERT_TRUE(fill.open(QIODevice::WriteOnly) && fill.write(QByteArray(4 << 20, 'v')) == 4 << 20);
        ASSERT_TRUE(fill.flush() && ::fsync(fill.handle()) == 0);
        const auto fuller = table.volumeAt(path);
        ASSERT_TRUE(fuller.has_value());
        EXPECT_LE(*fuller->availableBytes, *volume.availableBytes - 3 * 1024 * 1024);
    }

    // Only a mount root is a volume; a link to one leads to it.
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("Photos")));
    EXPECT_FALSE(table.volumeAt(root + QStringLiteral("/Photos")).has_value());
    const auto missing = validator.validate(root + QStringLiteral("/nothing"));
    EXPECT_FALSE(missing.errorMessage().isEmpty());
    EXPECT_FALSE(missing.hasItemName());
    ASSERT_TRUE(QFile::link(root, place + QStringLiteral("/link")));
    EXPECT_EQ(table.volumeAt(place + QStringLiteral("/link")).value_or(MountedVolume()).mountPath, root);

    // An ordinary user sees the label from the kernel although the device
    // cannot be read, and only that user's rights (the root is root's).
    ASSERT_TRUE(QFile::setPermissions(place, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ReadOther | QFileDevice::ExeOther));
    EXPECT_EQ(asNobody(root, QStringLiteral("EXT STICK")), 1 | 2) << "label 1, readable 2, writable 4";

    // A device write-protected under a read-write mount (a locked card; a read-only mount: the CLI's volumes).
    ASSERT_TRUE(runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setro"), exfat.device()}));
    const auto protectedCard = table.volumeAt(exfat.mountPath());
    runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setrw"), exfat.device()});
    ASSERT_TRUE(protectedCard.has_value());
    EXPECT_FALSE(protectedCard->writable) << "sysfs ro of the device was not taken into account";
    EXPECT_TRUE(protectedCard->readable);

    // Eject unmounts a volume, but neither a folder nor a busy volume.
    EXPECT_FALSE(volumes::unmountAndEject(root + QStringLiteral("/Photos")).isEmpty());
    EXPECT_FALSE(volumes::unmountAndEject(place).isEmpty()) << "the folder holding the mount";
    EXPECT_TRUE(platform::isMountPoint(root)) << "a folder's eject unmounted the volume";
    {
        QFile open(root + QStringLiteral("/fill.bin"));
        ASSERT_TRUE(open.open(QIODevice::ReadOnly));
        EXPECT_FALSE(volumes::unmountAndEject(root).isEmpty()) << "a busy volume was unmounted";
        EXPECT_TRUE(platform::isMountPoint(root));
    }
    EXPECT_EQ(volumes::unmountAndEject(root), QString());
    EXPECT_FALSE(platform::isMountPoint(root));

    // The system ejector answers on the main thread, once the event loop runs.
    volumes::SystemVolumeEjector ejector;
    std::optional<QString> answer;
    bool onMainThread = false;
    ejector.eject(exfat.mountPath(), [&](const QString &error) {
        answer = error;
        onMainThread = QThread::currentThread() == qApp->thread();
    });
    EXPECT_FALSE(answer.has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, eventTimeoutMs)) << "no answer";
    EXPECT_EQ(*answer, QString());
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(platform::isMountPoint(exfat.mountPath()));
    answer.reset();
    ejector.eject(exfat.mountPath(), [&](const QString &error) { answer = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, eventTimeoutMs));
    EXPECT_FALSE(answer->isEmpty()) << "a second eject of a gone volume reported success";

    // An ext4 volume whose UUID was cleared has no identifier.
    LoopVolume other(LoopVolume::Kind::Ext4, QStringLiteral("EXT STICK"), sizeMiB);
    SKIP_WITHOUT(other);
    ASSERT_TRUE(other.unmount());
    ASSERT_TRUE(runCommand(QStringLiteral("e2fsck"), {QStringLiteral("-fy"), other.device()}));
    ASSERT_TRUE(runCommand(QStringLiteral("tune2fs"), {QStringLiteral("-U"), QStringLiteral("clear"), other.device()}));
    ASSERT_TRUE(other.mount(root));
    EXPECT_EQ(validator.validate(root).errorMessage(),
              QStringLiteral("Unable to obtain the volume's identifier. Please select a different volume."));

    // ext3 mounted by the ext4 driver: the kernel says ext4, libblkid ext3.
    ASSERT_TRUE(other.unmount());
    ASSERT_TRUE(runCommand(QStringLiteral("mkfs.ext3"),
                           {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"), QStringLiteral("OLD STICK"), other.device()}));
    ASSERT_TRUE(other.mount(root));
    const auto ext3 = table.volumeAt(root);
    ASSERT_TRUE(ext3.has_value());
    EXPECT_EQ(ext3->fileSystemType, QStringLiteral("ext4"));
    EXPECT_EQ(ext3->label, QStringLiteral("OLD STICK"));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, root, blkidValue(other.device(), QStringLiteral("UUID"))));

    // FUSE FAT names no device as its source: not a volume a file manager shows.
    LoopVolume fat(LoopVolume::Kind::Fat, QStringLiteral("FUSEFAT"), sizeMiB);
    SKIP_WITHOUT(fat);
    EXPECT_EQ(validator.validate(fat.mountPath()).errorMessage(),
              QStringLiteral("The volume is not browsable, it can't be seen from the file manager. "
                             "Please select a different volume."));
}

// Every event comes on the main thread.
TEST(LinuxVolumeMonitor, FollowsAStickAndTheServiceEjectsThroughItAndGivesUpAReadingStuckOnAHungShare)
{
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    SKIP_WITHOUT(stick);
    ASSERT_TRUE(stick.unmount());
    PrivateBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << bus.skipReason().toStdString();
    }
    StandInStorageService service;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("storage-service"));
    QDBusConnection clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("storage-client"));
    const auto disconnect = qScopeGuard([&] {
        serviceBus.unregisterObject(rootPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-service"));
    });
    ASSERT_TRUE(serviceBus.isConnected() && clientBus.isConnected());
    ASSERT_TRUE(serviceBus.registerVirtualObject(rootPath, &service, QDBusConnection::SubPath));

    volumes::LinuxVolumeMonitor monitor(clientBus);
    // Mounts must come from the mount-table notification, not from the timer.
    monitor.setLabelPollInterval(std::chrono::hours(1));
    bool offMainThread = false;
    auto checkThread = [&] { offMainThread |= QThread::currentThread() != qApp->thread(); };
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeMounted, checkThread);
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeUnmounted, checkThread);
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeRenamed, checkThread);
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy mounted(&monitor, &volumes::VolumeMonitor::volumeMounted);
    QSignalSpy unmounted(&monitor, &volumes::VolumeMonitor::volumeUnmounted);
    QSignalSpy renamed(&monitor, &volumes::VolumeMonitor::volumeRenamed);
    monitor.start();
    EXPECT_FALSE(monitor.followsStorageService());
    ASSERT_TRUE(ready.wait(eventTimeoutMs));
    // The service starts after the monitor: it is followed from then on.
    ASSERT_TRUE(serviceBus.registerService(serviceName));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.followsStorageService(); }, eventTimeoutMs));

    ASSERT_TRUE(stick.mount());
    service.deviceNode = stick.device();
    const auto volume = waitForEventAt(mounted, stick.mountPath()).value(0).value<MountedVolume>();
    EXPECT_EQ(volume.uuid, blkidValue(stick.device(), QStringLiteral("UUID")));
    EXPECT_EQ(volume.localizedName, QStringLiteral("STICK"));

    // e2label leaves the mount table as it was: the service's signal makes the monitor read labels...
    ASSERT_TRUE(stick.relabel(QStringLiteral("OFFSITE")));
    QDBusMessage changed = QDBusMessage::createSignal(blockPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    changed << QStringLiteral("org.freedesktop.UDisks2.Block")
            << QVariantMap{{QStringLiteral("IdLabel"), QStringLiteral("OFFSITE")}} << QStringList();
    ASSERT_TRUE(serviceBus.send(changed));
    const QList<QVariant> rename = waitForEventAt(renamed, stick.mountPath());
    EXPECT_EQ(rename.value(0).value<MountedVolume>().localizedName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(rename.value(0).value<MountedVolume>().uuid, volume.uuid);
    EXPECT_EQ(rename.value(1).toString(), QStringLiteral("STICK"));
    // ...and without a signal, the label timer does.
    renamed.clear();
    monitor.setLabelPollInterval(std::chrono::milliseconds(100));
    ASSERT_TRUE(stick.relabel(QStringLiteral("ARCHIVE")));
    EXPECT_EQ(waitForEventAt(renamed, stick.mountPath()).value(0).value<MountedVolume>().localizedName,
              QStringLiteral("ARCHIVE"));
    monitor.setLabelPollInterval(std::chrono::hours(1));

    ASSERT_TRUE(stick.unmount());
    EXPECT_EQ(waitForEventAt(unmounted, stick.mountPath()).value(0).value<MountedVolume>().uuid, volume.uuid);
    // Relabelled while unmounted, the new name comes with the next mount.
    mounted.clear();
    ASSERT_TRUE(stick.relabel(QStringLiteral("HOLIDAY")));
    ASSERT_TRUE(stick.mount());
    EXPECT_EQ(waitForEventAt(mounted, stick.mountPath()).value(0).value<MountedVolume>().localizedName,
              QStringLiteral("HOLIDAY"));

    // The service unmounts a device, not a path: taking the other place is no success.
    QTemporaryDir second;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {stick.device(), second.path()}), 0);
    service.unmountAt = second.path();
    EXPECT_EQ(ejectServed(service, stick.mountPath(), clientBus),
              stick.mountPath() + QStringLiteral(" is still mounted"));
    EXPECT_TRUE(platform::isMountPoint(stick.mountPath()));
    if (platform::isMountPoint(second.path())) {
        QProcess::execute(QStringLiteral("umount"), {second.path()});
    }

    // A volume the service does not know is unmounted directly.
    service.deviceNode = QStringLiteral("/dev/unknown");
    EXPECT_EQ(ejectServed(service, stick.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_EQ(service.calls, QStringList{QStringLiteral("ResolveDevice ") + stick.device()});

    // One it knows and refuses to unmount keeps its drive powered; the reason is the answer.
    service.deviceNode = stick.device();
    ASSERT_TRUE(stick.unmount() && stick.mount());
    service.busy = QStringLiteral("Error unmounting: target is busy");
    EXPECT_EQ(ejectServed(service, stick.mountPath(), clientBus), service.busy);
    EXPECT_TRUE(platform::isMountPoint(stick.mountPath()));
    EXPECT_EQ(service.calls, (QStringList{"ResolveDevice " + stick.device(), "Unmount " + blockPath}));
    // Otherwise it is unmounted through it, then the drive is powered off and not ejected.
    service.busy.clear();
    service.unmountAt = stick.mountPath();
    EXPECT_EQ(ejectServed(service, stick.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_EQ(service.calls, (QStringList{"ResolveDevice " + stick.device(), "Unmount " + blockPath,
                                          "Get CryptoBackingDevice " + blockPath, "Get Drive " + blockPath,
                                          "Get CanPowerOff " + drivePath, "PowerOff " + drivePath}));

    // A share whose source lies inside it: only the monitor's bound gives up the reading
    // (as would every mount tool that reads the table, hence the system call).
    monitor.setAnswerBound(std::chrono::hours(1));
    monitor.setStallBound(std::chrono::milliseconds(200));
    ASSERT_TRUE(stick.unmount());
    HangingShare share(HangingShare::Source::SourceInside);
    SKIP_WITHOUT(share);
    QTemporaryDir place;
    const QByteArray device = QFile::encodeName(stick.device());
    ASSERT_EQ(::mount(device.constData(), QFile::encodeName(place.path()).constData(), "ext4", 0, nullptr), 0);
    EXPECT_FALSE(waitForEventAt(mounted, place.path()).isEmpty()) << "no mount event behind the stuck reading";
    ::umount2(QFile::encodeName(place.path()).constData(), MNT_DETACH);
    share.release();
    EXPECT_FALSE(offMainThread) << "an event was emitted off the main thread";
}
