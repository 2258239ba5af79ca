// The volume monitor and the eject on a real stick, with a stand-in for the
// system's storage service on a private message bus, for what the real one
// (see realstorageservice_test) cannot be made to do: start after the
// monitor, signal a new label, show a drive that is both ejectable and can be
// powered off, unmount another place of the volume, not know a device.
// Needs root (real loop volumes, FUSE) and dbus-daemon; skipped with the
// reason otherwise.
#include "hangingshare.h"
#include "loopvolume.h"
#include "privatebus.h"
#include "systemcommands.h"

#include "volumes/linuxvolumemonitor.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <sys/mount.h>

using volumes::MountedVolume;

namespace {

constexpr int eventTimeoutMs = 10000;
const QString serviceName = QStringLiteral("org.freedesktop.UDisks2");
const QString rootPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockPath = QStringLiteral("/org/freedesktop/UDisks2/block_devices/loop_test");
const QString drivePath = QStringLiteral("/org/freedesktop/UDisks2/drives/Test_Stick");

// Answers like the storage service for one block device on one drive, which
// is both ejectable and can be powered off, and records what it was asked.
// Lives on this thread: the code under test calls it from another one.
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
        if (member == QLatin1String("Unmount") && !unmountAt.isEmpty()) {
            QProcess::execute(QStringLiteral("umount"), {unmountAt});
        }
        return connection.send(message.createReply());
    }

    // The one device it knows.
    QString deviceNode;
    // Unmount really unmounts the device at this place (the real service
    // picks one of its mount points).
    QString unmountAt;
    QStringList calls;
};

// Ejects on a thread of its own, as the code under test blocks on its calls,
// while this thread runs the stand-in.
QString ejectServed(const QString &mountPath, const QDBusConnection &bus)
{
    auto ejected = std::async(std::launch::async, [&] { return volumes::unmountAndEject(mountPath, bus); });
    QTest::qWaitFor([&] { return ejected.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
    return ejected.get();
}

// Waits for the first event of `spy` about `mountPath` (other tests may be
// mounting volumes at the same time); its arguments, or none after the timeout.
QList<QVariant> waitForEventAt(QSignalSpy &spy, const QString &mountPath)
{
    QList<QVariant> found;
    QTest::qWaitFor([&] {
        for (const QList<QVariant> &event : spy) {
            if (event.value(0).value<MountedVolume>().mountPath == mountPath) {
                found = event;
                return true;
            }
        }
        return false;
    }, eventTimeoutMs);
    return found;
}

} // namespace

// One monitor follows a stick and a stand-in service that starts after it:
// mount, renames, unmount and a relabelled remount, all on the main thread;
// the eject goes through the service for the devices it knows; and a
// reading stuck on a hung share is given up while mounts go on being reported.
TEST(LinuxVolumeMonitor, FollowsAStickAndTheServiceEjectsThroughItAndGivesUpAReadingStuckOnAHungShare)
{
    QString reason;
    if (!LoopVolume::available(&reason)) {
        GTEST_SKIP() << reason.toStdString();
    }
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

    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    SKIP_WITHOUT(stick);
    service.deviceNode = stick.device();
    const QList<QVariant> mount = waitForEventAt(mounted, stick.mountPath());
    ASSERT_FALSE(mount.isEmpty()) << "no mount event";
    const auto volume = mount[0].value<MountedVolume>();
    EXPECT_EQ(volume.uuid, blkidValue(stick.device(), QStringLiteral("UUID")));
    EXPECT_EQ(volume.localizedName, QStringLiteral("STICK"));

    // e2label on a mounted volume: nothing in the mount table changes; the
    // service's signal makes the monitor read the labels again...
    ASSERT_TRUE(stick.relabel(QStringLiteral("OFFSITE")));
    QDBusMessage changed = QDBusMessage::createSignal(blockPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    changed << QStringLiteral("org.freedesktop.UDisks2.Block")
            << QVariantMap{{QStringLiteral("IdLabel"), QStringLiteral("OFFSITE")}} << QStringList();
    ASSERT_TRUE(serviceBus.send(changed));
    const QList<QVariant> rename = waitForEventAt(renamed, stick.mountPath());
    ASSERT_FALSE(rename.isEmpty()) << "the service's signal did not make the monitor read the labels again";
    EXPECT_EQ(rename[0].value<MountedVolume>().localizedName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(rename[0].value<MountedVolume>().uuid, volume.uuid);
    EXPECT_EQ(rename[1].toString(), QStringLiteral("STICK"));
    // ...and without a signal, the label timer does.
    renamed.clear();
    monitor.setLabelPollInterval(std::chrono::milliseconds(100));
    ASSERT_TRUE(stick.relabel(QStringLiteral("ARCHIVE")));
    const QList<QVariant> polled = waitForEventAt(renamed, stick.mountPath());
    ASSERT_FALSE(polled.isEmpty()) << "no rename event from the label timer";
    EXPECT_EQ(polled[0].value<MountedVolume>().localizedName, QStringLiteral("ARCHIVE"));
    monitor.setLabelPollInterval(std::chrono::hours(1));

    ASSERT_TRUE(stick.unmount());
    const QList<QVariant> unmount = waitForEventAt(unmounted, stick.mountPath());
    ASSERT_FALSE(unmount.isEmpty()) << "no unmount event";
    EXPECT_EQ(unmount[0].value<MountedVolume>().uuid, volume.uuid);
    // Relabelled while unmounted, the new name comes with the next mount.
    mounted.clear();
    ASSERT_TRUE(stick.relabel(QStringLiteral("HOLIDAY")));
    ASSERT_TRUE(stick.mount());
    const QList<QVariant> remount = waitForEventAt(mounted, stick.mountPath());
    ASSERT_FALSE(remount.isEmpty()) << "no mount event after the relabel";
    EXPECT_EQ(remount[0].value<MountedVolume>().localizedName, QStringLiteral("HOLIDAY"));

    // The service unmounts a device, not a path: when it takes the volume's
    // other place, the eject does not report success.
    QTemporaryDir second;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {stick.device(), second.path()}), 0);
    service.unmountAt = second.path();
    EXPECT_EQ(ejectServed(stick.mountPath(), clientBus), stick.mountPath() + QStringLiteral(" is still mounted"));
    EXPECT_TRUE(platform::isMountPoint(stick.mountPath()));
    if (platform::isMountPoint(second.path())) {
        QProcess::execute(QStringLiteral("umount"), {second.path()});
    }

    // A volume the service does not know is unmounted directly.
    service.deviceNode = QStringLiteral("/dev/unknown");
    service.calls.clear();
    EXPECT_EQ(ejectServed(stick.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_EQ(service.calls, QStringList{QStringLiteral("ResolveDevice ") + stick.device()});

    // One it knows is unmounted through it, then the drive is powered off and not ejected.
    service.deviceNode = stick.device();
    service.calls.clear();
    service.unmountAt = stick.mountPath();
    ASSERT_TRUE(stick.unmount() && stick.mount());
    EXPECT_EQ(ejectServed(stick.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    EXPECT_EQ(service.calls, (QStringList{"ResolveDevice " + stick.device(), "Unmount " + blockPath,
                                          "Get CryptoBackingDevice " + blockPath, "Get Drive " + blockPath,
                                          "Get CanPowerOff " + drivePath, "PowerOff " + drivePath}));

    // A share whose source lies inside it: the next reading waits on it for
    // good, as the table itself never gives up here; only the monitor's bound
    // can. So does every mount tool that reads the mount table: the stick is
    // mounted with the system call.
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
