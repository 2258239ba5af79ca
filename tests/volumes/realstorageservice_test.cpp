// The volume monitor and the eject against the real storage service
// (udisksd) on a private system bus, with the test's own loop device made
// into a drive that can be powered off. Needs root and the dbus, udev and
// udisks2 packages; skipped with the reason otherwise. One scenario, as the
// process's system bus connection is made once and then kept.
#include "loopvolume.h"
#include "realstorageservice.h"
#include "systemcommands.h"

#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using volumes::MountedVolume;

namespace {

// A mount the service made of the test's device goes with the test, also
// when the test ended before it learnt where.
struct ServiceMountsRemover
{
    const LoopVolume &volume;
    ~ServiceMountsRemover()
    {
        for (const MountedVolume &mounted : volumes::LinuxVolumeTable().volumes()) {
            if (!volume.device().isEmpty() && mounted.device == volume.device()
                && mounted.mountPath != volume.mountPath()) {
                runCommand(QStringLiteral("umount"), {mounted.mountPath});
            }
        }
    }
};

} // namespace

// The service mounts the destination at a place of its own, as a desktop does
// on plug-in: the monitor follows it there, and the eject a backup run makes
// (by UUID, on the system bus) unmounts and powers the drive off through the
// service. Asked directly, the eject refuses a busy volume with the service's reason.
TEST(RealStorageService, TheMonitorSeesItsMountsAndTheEjectUnmountsThenPowersOffButRefusesABusyVolume)
{
    RealStorageService service;
    if (!service.isRunning()) {
        GTEST_SKIP() << service.skipReason().toStdString();
    }
    // Everything in this process that asks the system bus reaches the private one.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", service.busAddress().toUtf8());
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("VTEST"), 16);
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    const ServiceMountsRemover remover{volume};
    ASSERT_TRUE(service.addDevice(volume.device())) << "no drive for " << volume.device().toStdString();

    // The calls as the bus carries them (root may watch the bus).
    QProcess watcher;
    watcher.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("--address"), service.busAddress(),
                   QStringLiteral("type='method_call',interface='org.freedesktop.UDisks2.Drive'"),
                   QStringLiteral("type='method_call',interface='org.freedesktop.UDisks2.Filesystem'")});
    ASSERT_TRUE(watcher.waitForStarted(5000));
    QByteArray seen;
    const auto saw = [&](const QByteArray &member, int times = 1) {
        seen += watcher.readAllStandardOutput();
        return seen.count("member=" + member) >= times;
    };
    // Subscribed once it sees a probe call of ours (the service refuses it).
    ASSERT_TRUE(QTest::qWaitFor([&] {
        service.bus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.UDisks2"), service.driveObject(volume.device()),
            QStringLiteral("org.freedesktop.UDisks2.Drive"), QStringLiteral("VelloryProbe")));
        return saw("VelloryProbe");
    }, 10000));

    const QString uuid = blkidValue(volume.device(), QStringLiteral("UUID")).toUpper();
    ASSERT_TRUE(volume.unmount());
    volumes::LinuxVolumeMonitor monitor(service.bus());
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy mounted(&monitor, &volumes::VolumeMonitor::volumeMounted);
    monitor.start();
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_TRUE(monitor.followsStorageService());
    QDBusMessage mount = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"), service.blockObject(volume.device()),
        QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
    mount << QVariantMap();
    service.bus().asyncCall(mount, 20000);
    QString place;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const QList<QVariant> &event : mounted) {
            if (event.value(0).value<MountedVolume>().device == volume.device()) {
                place = event.value(0).value<MountedVolume>().mountPath;
            }
        }
        return !place.isEmpty();
    }, 20000)) << "no mount event for the service's mount";
    EXPECT_NE(place, volume.mountPath());

    EXPECT_EQ(volumes::unmountAndEjectVolume(place, QStringLiteral("0000-0000")), place + QStringLiteral(" holds another volume"));
    EXPECT_TRUE(platform::isMountPoint(place));
    EXPECT_EQ(volumes::unmountAndEjectVolume(place, uuid), QString());
    EXPECT_FALSE(platform::isMountPoint(place));
    // Powering off was asked for after the unmount, and no eject besides; the
    // service answers a loop device that it has no USB device to switch off,
    // which leaves the (unmounted) volume safe to remove all the same.
    EXPECT_TRUE(QTest::qWaitFor([&] { return saw("PowerOff"); }, 10000)) << seen.toStdString();
    EXPECT_LT(seen.indexOf("member=Unmount"), seen.indexOf("member=PowerOff"));

    // Asked directly: a busy volume is refused with the service's reason and
    // not powered off; once closed it is unmounted and powered off.
    ASSERT_TRUE(volume.mount());
    QFile open(volume.mountPath() + QStringLiteral("/open.txt"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    const QString refusal = volumes::unmountAndEject(volume.mountPath(), service.bus());
    EXPECT_TRUE(refusal.contains(QStringLiteral("busy"), Qt::CaseInsensitive)) << refusal.toStdString();
    EXPECT_TRUE(platform::isMountPoint(volume.mountPath()));
    open.close();
    EXPECT_EQ(volumes::unmountAndEject(volume.mountPath(), service.bus()), QString());
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return saw("PowerOff", 2); }, 10000)) << seen.toStdString();
    EXPECT_EQ(seen.count("member=PowerOff"), 2) << "powered off after the busy refusal";
    EXPECT_LT(seen.lastIndexOf("member=Unmount"), seen.lastIndexOf("member=PowerOff"));
    EXPECT_FALSE(seen.contains("member=Eject"));
    watcher.terminate();
    watcher.waitForFinished(5000);
}
