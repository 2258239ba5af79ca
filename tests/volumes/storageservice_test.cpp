// The monitor and eject against a stand-in for the system's storage service
// on a private message bus, for what the real one (see
// realstorageservice_test) cannot be made to do: show a drive that is both
// ejectable and can be powered off, unmount another place of the volume,
// not know a device, start after the monitor. Needs root (real loop volumes) and
// dbus-daemon; skipped with the reason otherwise.
#include "loopvolume.h"
#include "privatebus.h"

#include "volumes/linuxvolumemonitor.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

using volumes::MountedVolume;

namespace {

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
    explicit StandInStorageService(const QString &deviceNode) : deviceNode(deviceNode) {}

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
            QVariant value;
            if (name == QLatin1String("Drive")) {
                value = QVariant::fromValue(QDBusObjectPath(drivePath));
            } else if (name == QLatin1String("CanPowerOff") || name == QLatin1String("Ejectable")) {
                value = true;
            } else {
                return connection.send(message.createErrorReply(QDBusError::UnknownProperty, name));
            }
            return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
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

} // namespace

TEST(StorageServiceStandIn, TheMonitorFollowsTheServiceAndTheEjectGoesThroughItForTheDevicesItKnows)
{
    QString reason;
    if (!LoopVolume::available(&reason)) {
        GTEST_SKIP() << reason.toStdString();
    }
    PrivateBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << bus.skipReason().toStdString();
    }
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    StandInStorageService service(volume.device());
    QDBusConnection serviceBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("storage-service"));
    QDBusConnection clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("storage-client"));
    const auto disconnect = qScopeGuard([&] {
        serviceBus.unregisterObject(rootPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-service"));
    });
    ASSERT_TRUE(serviceBus.isConnected() && clientBus.isConnected());
    ASSERT_TRUE(serviceBus.registerVirtualObject(rootPath, &service, QDBusConnection::SubPath));

    {
        // The service starts after the monitor: it is followed from then on.
        volumes::LinuxVolumeMonitor monitor(clientBus);
        monitor.setLabelPollInterval(std::chrono::hours(1));
        QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
        QSignalSpy renamed(&monitor, &volumes::VolumeMonitor::volumeRenamed);
        monitor.start();
        EXPECT_FALSE(monitor.followsStorageService());
        ASSERT_TRUE(ready.wait(10000));
        ASSERT_TRUE(serviceBus.registerService(serviceName));
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.followsStorageService(); }, 10000));

        // e2label on a mounted volume: nothing in the mount table changes,
        // the service's signal makes the monitor read the labels again.
        ASSERT_TRUE(volume.relabel(QStringLiteral("OFFSITE")));
        QDBusMessage changed = QDBusMessage::createSignal(blockPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << QStringLiteral("org.freedesktop.UDisks2.Block")
                << QVariantMap{{QStringLiteral("IdLabel"), QStringLiteral("OFFSITE")}} << QStringList();
        ASSERT_TRUE(serviceBus.send(changed));
        const auto ours = [&] {
            for (const QList<QVariant> &event : renamed) {
                if (event.value(0).value<MountedVolume>().mountPath == volume.mountPath()) {
                    return event;
                }
            }
            return QList<QVariant>();
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ours().isEmpty(); }, 10000))
            << "the service's signal did not make the monitor read the labels again";
        EXPECT_EQ(ours().value(0).value<MountedVolume>().localizedName, QStringLiteral("OFFSITE"));
        EXPECT_EQ(ours().value(1).toString(), QStringLiteral("STICK"));
    }

    // The service unmounts a device, not a path: when it takes the volume's
    // other place, the eject does not report success.
    QTemporaryDir second;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {volume.device(), second.path()}), 0);
    service.unmountAt = second.path();
    EXPECT_EQ(ejectServed(volume.mountPath(), clientBus), volume.mountPath() + QStringLiteral(" is still mounted"));
    EXPECT_TRUE(platform::isMountPoint(volume.mountPath()));
    if (platform::isMountPoint(second.path())) {
        QProcess::execute(QStringLiteral("umount"), {second.path()});
    }

    // A volume the service does not know is unmounted directly.
    service.deviceNode = QStringLiteral("/dev/unknown");
    service.calls.clear();
    EXPECT_EQ(ejectServed(volume.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath()));
    EXPECT_EQ(service.calls, QStringList{QStringLiteral("ResolveDevice ") + volume.device()});

    // One it knows is unmounted through it, then the drive is powered off and not ejected.
    service.deviceNode = volume.device();
    service.calls.clear();
    service.unmountAt = volume.mountPath();
    ASSERT_TRUE(volume.unmount() && volume.mount());
    EXPECT_EQ(ejectServed(volume.mountPath(), clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath()));
    const QStringList calls = service.calls;
    const qsizetype unmount = calls.indexOf(QStringLiteral("Unmount ") + blockPath);
    const qsizetype powerOff = calls.indexOf(QStringLiteral("PowerOff ") + drivePath);
    ASSERT_EQ(calls.value(0), QStringLiteral("ResolveDevice ") + volume.device()) << calls.join(u'|').toStdString();
    ASSERT_GE(unmount, 0) << calls.join(u'|').toStdString();
    ASSERT_GE(powerOff, 0) << calls.join(u'|').toStdString();
    EXPECT_LT(unmount, powerOff);
    EXPECT_FALSE(calls.contains(QStringLiteral("Eject ") + drivePath)) << "ejected a drive that powers off";
}
