// The volume monitor and the eject against the real storage service (root,
// dbus, udev, udisks2). One scenario: the system bus connection is made once.
#include "loopvolume.h"
#include "privatebus.h"
#include "systemcommands.h"

#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

using volumes::MountedVolume;

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kDeviceManager = QStringLiteral("/lib/systemd/systemd-udevd");
const QString kStorageDaemon = QStringLiteral("/usr/libexec/udisks2/udisksd");

bool udevadm(const QStringList &arguments)
{
    return runCommand(QStringLiteral("udevadm"), arguments);
}

// udisksd on a private bus standing for the system bus, with systemd-udevd
// when none runs; stops only what it started, acts only on devices given.
class RealStorageService
{
public:
    RealStorageService() : m_reason(start()) {}
    ~RealStorageService()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("real-storage-service"));
        stopProcess(m_storageService);
        if (QFile::remove(m_rulesFile)) {
            udevadm({QStringLiteral("control"), QStringLiteral("--reload")});
        }
        stopProcess(m_deviceManager);
    }

    [[nodiscard]] QString skipReason() const { return m_reason; }
    [[nodiscard]] QString busAddress() const { return m_bus ? m_bus->address() : QString(); }
    [[nodiscard]] QDBusConnection bus() const
    {
        return QDBusConnection::connectToBus(busAddress(), QStringLiteral("real-storage-service"));
    }

    // Gives `deviceNode` a serial number and "can be powered off", so that the
    // service shows it as an ejectable drive; waits until block and drive are set.
    bool addDevice(const QString &deviceNode)
    {
        QDir().mkpath(QFileInfo(m_rulesFile).absolutePath());
        QFile rules(m_rulesFile);
        const QString name = QFileInfo(deviceNode).fileName();
        const QString rule = QStringLiteral("KERNEL==\"%1\", ENV{ID_SERIAL}=\"Vellory_Test_%1\", "
                                            "ENV{UDISKS_CAN_POWER_OFF}=\"1\"\n")
                                 .arg(name);
        // Only this device is triggered: other tests' devices are left alone.
        if (!rules.open(QIODevice::WriteOnly) || rules.write(rule.toUtf8()) < 0 || !rules.flush()
            || !udevadm({QStringLiteral("control"), QStringLiteral("--reload")})
            || !udevadm({QStringLiteral("trigger"), QStringLiteral("--action=add"), QStringLiteral("--settle"),
                         deviceNode})) {
            return false;
        }
        block = QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name;
        return QTest::qWaitFor([&] {
            QDBusMessage get = QDBusMessage::createMethodCall(kService, block, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                              QStringLiteral("Get"));
            get << QStringLiteral("org.freedesktop.UDisks2.Block") << QStringLiteral("Drive");
            const QDBusReply<QDBusVariant> reply = bus().call(get, QDBus::Block, 5000);
            drive = reply.isValid() ? qvariant_cast<QDBusObjectPath>(reply.value().variant()).path() : QString();
            return !drive.isEmpty() && drive != QLatin1String("/");
        }, 10000);
    }

    QString block;
    QString drive;

private:
    // Why it cannot run; empty once it runs.
    QString start()
    {
        if (geteuid() != 0) {
            return QStringLiteral("the storage service needs root");
        }
        for (const QString &program : {kDeviceManager, kStorageDaemon,
                                       QStandardPaths::findExecutable(QStringLiteral("udevadm"))}) {
            if (!QFileInfo::exists(program)) {
                return program + QStringLiteral(" is not installed (udev, udisks2)");
            }
        }
        // udisksd owns its name there, and root may call it without a policy agent.
        m_bus = std::make_unique<PrivateBus>();
        if (busAddress().isEmpty()) {
            return m_bus->skipReason();
        }
        const auto deviceManagerAnswers = [] {
            return udevadm({QStringLiteral("control"), QStringLiteral("--ping"), QStringLiteral("--timeout=2")});
        };
        if (!deviceManagerAnswers()) {
            m_deviceManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_deviceManager.start(kDeviceManager, {});
            if (!m_deviceManager.waitForStarted(10000) || !QTest::qWaitFor(deviceManagerAnswers, 10000)) {
                return QStringLiteral("systemd-udevd did not start");
            }
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress());
        m_storageService.setProcessEnvironment(environment);
        m_storageService.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_storageService.start(kStorageDaemon, {});
        QDBusConnection client = bus();
        const bool up = m_storageService.waitForStarted(10000) && QTest::qWaitFor([&client] {
            return client.interface() && client.interface()->isServiceRegistered(kService).value();
        }, 10000);
        return up ? QString() : QStringLiteral("udisksd did not start or take its name on the bus");
    }

    // Declared first, stopped last.
    std::unique_ptr<PrivateBus> m_bus;
    const QString m_rulesFile =
        QStringLiteral("/run/udev/rules.d/99-vellory-test-%1.rules").arg(QCoreApplication::applicationPid());
    QProcess m_deviceManager;
    QProcess m_storageService;
    const QString m_reason;
};

} // namespace

// The service mounts the destination at a place of its own, as a desktop does;
// a backup run's eject (by UUID, on the system bus) unmounts it through it.
TEST(RealStorageService, TheMonitorSeesItsMountsAndTheEjectUnmountsThroughItButRefusesABusyVolume)
{
    RealStorageService service;
    if (!service.skipReason().isEmpty()) {
        GTEST_SKIP() << service.skipReason().toStdString();
    }
    // Everything in this process that asks the system bus reaches the private one.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", service.busAddress().toUtf8());
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("VTEST"), 16);
    SKIP_WITHOUT(volume);
    // A mount the service made goes with the test, even one the test never learnt of.
    const auto removeServiceMounts = qScopeGuard([&volume] {
        for (const MountedVolume &mounted : volumes::LinuxVolumeTable().volumes()) {
            if (mounted.device == volume.device() && mounted.mountPath != volume.mountPath()) {
                runCommand(QStringLiteral("umount"), {mounted.mountPath});
            }
        }
    });
    ASSERT_TRUE(service.addDevice(volume.device())) << "no drive for " << volume.device().toStdString();

    const QString uuid = blkidValue(volume.device(), QStringLiteral("UUID")).toUpper();
    ASSERT_TRUE(volume.unmount());
    volumes::LinuxVolumeMonitor monitor(service.bus());
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy mounted(&monitor, &volumes::VolumeMonitor::volumeMounted);
    monitor.start();
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_TRUE(monitor.followsStorageService());
    QDBusMessage mount = QDBusMessage::createMethodCall(
        kService, service.block, QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
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

    EXPECT_EQ(volumes::unmountAndEjectVolume(place, uuid), QString());
    EXPECT_FALSE(platform::isMountPoint(place));

    // Once closed it is unmounted (the power-off the service refuses for a
    // loop device leaves it safe to remove all the same).
    ASSERT_TRUE(volume.mount());
    QFile open(volume.mountPath() + QStringLiteral("/open.txt"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    const QString refusal = volumes::unmountAndEject(volume.mountPath(), service.bus());
    // The service's words name the device; a direct unmount would say "Device or resource busy".
    EXPECT_TRUE(refusal.contains(volume.device() + QStringLiteral(": target is busy"))) << refusal.toStdString();
    EXPECT_TRUE(platform::isMountPoint(volume.mountPath()));
    open.close();
    EXPECT_EQ(volumes::unmountAndEject(volume.mountPath(), service.bus()), QString());
    EXPECT_FALSE(platform::isMountPoint(volume.mountPath()));
}
