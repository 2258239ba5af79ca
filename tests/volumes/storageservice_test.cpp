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

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>

using volumes::MountedVolume;

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.UDisks2");
const QString rootPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockPath = QStringLiteral("/org/freedesktop/UDisks2/block_devices/loop_test");
const QString drivePath = QStringLiteral("/org/freedesktop/UDisks2/drives/Test_Stick");

// Answers like the storage service for one block device on one drive, and
// records what it was asked. Lives on a thread of its own, so that the code
// under test may block on its calls.
class StandInStorageService : public QDBusVirtualObject
{
public:
    StandInStorageService(const QString &deviceNode) : m_deviceNode(deviceNode) {}

    /// Unmount really unmounts the device at `mountPoint` (as the real
    /// service picks one of its mount points).
    void setUnmountAt(const QString &mountPoint)
    {
        QMutexLocker lock(&m_mutex);
        m_unmountAt = mountPoint;
    }
    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QMutexLocker lock(&m_mutex);
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (member == QLatin1String("ResolveDevice")) {
            const QVariantMap spec = qdbus_cast<QVariantMap>(args.value(0));
            m_calls.append(QStringLiteral("ResolveDevice ") + spec.value(QStringLiteral("path")).toString());
            const bool known = spec.value(QStringLiteral("path")).toString() == m_deviceNode;
            const QList<QDBusObjectPath> found = known ? QList{QDBusObjectPath(blockPath)} : QList<QDBusObjectPath>();
            return connection.send(message.createReply(QVariant::fromValue(found)));
        }
        if (member == QLatin1String("Get")) {
            const QString name = args.value(1).toString();
            m_calls.append(QStringLiteral("Get ") + name + QLatin1Char(' ') + message.path());
            QVariant value;
            if (name == QLatin1String("Drive")) {
                value = QVariant::fromValue(QDBusObjectPath(drivePath));
            } else if (name == QLatin1String("CryptoBackingDevice")) {
                value = QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
            } else if (name == QLatin1String("CanPowerOff") || name == QLatin1String("Ejectable")) {
                value = true;
            } else {
                return connection.send(message.createErrorReply(QDBusError::UnknownProperty, name));
            }
            return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        }
        m_calls.append(member + QLatin1Char(' ') + message.path());
        if (member == QLatin1String("Unmount") && !m_unmountAt.isEmpty()) {
            QProcess::execute(QStringLiteral("umount"), {m_unmountAt});
        }
        return connection.send(message.createReply());
    }

private:
    const QString m_deviceNode;
    mutable QMutex m_mutex;
    QString m_unmountAt;
    QStringList m_calls;
};

// The bus, the stand-in service on its thread, and a client connection.
class StorageServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString reason;
        if (!LoopVolume::available(&reason)) {
            GTEST_SKIP() << reason.toStdString();
        }
        if (m_bus.address().isEmpty()) {
            GTEST_SKIP() << m_bus.skipReason().toStdString();
        }
        m_volume = std::make_unique<LoopVolume>(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
        if (!m_volume->isMounted()) {
            GTEST_SKIP() << m_volume->skipReason().toStdString();
        }
        m_service = new StandInStorageService(m_volume->device());
        m_service->moveToThread(&m_serviceThread);
        m_serviceThread.start();
        m_serviceBus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("storage-service"));
        ASSERT_TRUE(m_serviceBus.isConnected());
        // Registered from the service's own thread, where its helpers must live.
        bool registered = false;
        QMetaObject::invokeMethod(
            m_service,
            [this, &registered] {
                registered = m_serviceBus.registerVirtualObject(rootPath, m_service, QDBusConnection::SubPath);
            },
            Qt::BlockingQueuedConnection);
        ASSERT_TRUE(registered);
        ASSERT_TRUE(m_serviceBus.registerService(serviceName));
        m_clientBus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("storage-client"));
        ASSERT_TRUE(m_clientBus.isConnected());
    }

    void TearDown() override
    {
        if (m_service) {
            m_serviceBus.unregisterObject(rootPath, QDBusConnection::UnregisterTree);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("storage-service"));
        m_serviceThread.quit();
        m_serviceThread.wait();
        delete m_service;
    }

    PrivateBus m_bus;
    std::unique_ptr<LoopVolume> m_volume;
    QThread m_serviceThread;
    StandInStorageService *m_service = nullptr;
    QDBusConnection m_serviceBus{QString()};
    QDBusConnection m_clientBus{QString()};
};

} // namespace

// The drive is ejectable as well; it is only powered off (the real service's
// test drive cannot be made ejectable).
TEST_F(StorageServiceTest, EjectUnmountsThroughTheServiceThenPowersTheDriveOff)
{
    m_service->setUnmountAt(m_volume->mountPath());
    EXPECT_EQ(volumes::unmountAndEject(m_volume->mountPath(), m_clientBus), QString());
    const QStringList calls = m_service->calls();
    const qsizetype unmount = calls.indexOf(QStringLiteral("Unmount ") + blockPath);
    const qsizetype powerOff = calls.indexOf(QStringLiteral("PowerOff ") + drivePath);
    ASSERT_EQ(calls.value(0), QStringLiteral("ResolveDevice ") + m_volume->device()) << calls.join(u'|').toStdString();
    ASSERT_GE(unmount, 0) << calls.join(u'|').toStdString();
    ASSERT_GE(powerOff, 0) << calls.join(u'|').toStdString();
    EXPECT_LT(unmount, powerOff);
    EXPECT_FALSE(calls.contains(QStringLiteral("Eject ") + drivePath)) << "ejected a drive that powers off";
}

TEST_F(StorageServiceTest, AVolumeAlsoMountedElsewhereIsNotEjectedWhenTheServiceTakesTheOtherPlace)
{
    QTemporaryDir second;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {m_volume->device(), second.path()}), 0);
    m_service->setUnmountAt(second.path());
    EXPECT_EQ(volumes::unmountAndEject(m_volume->mountPath(), m_clientBus),
              m_volume->mountPath() + QStringLiteral(" is still mounted"));
    EXPECT_TRUE(platform::isMountPoint(m_volume->mountPath()));
    if (platform::isMountPoint(second.path())) {
        QProcess::execute(QStringLiteral("umount"), {second.path()});
    }
}

TEST_F(StorageServiceTest, AVolumeTheServiceDoesNotKnowIsUnmountedDirectly)
{
    LoopVolume other(LoopVolume::Kind::Ext4, QStringLiteral("OTHER"), 16);
    if (!other.isMounted()) {
        GTEST_SKIP() << other.skipReason().toStdString();
    }
    EXPECT_EQ(volumes::unmountAndEject(other.mountPath(), m_clientBus), QString());
    EXPECT_FALSE(platform::isMountPoint(other.mountPath()));
    EXPECT_EQ(m_service->calls(), QStringList{QStringLiteral("ResolveDevice ") + other.device()});
}

TEST_F(StorageServiceTest, MonitorRereadsLabelsWhenTheServiceSignalsAChange)
{
    volumes::LinuxVolumeMonitor monitor(m_clientBus);
    monitor.setLabelPollInterval(std::chrono::hours(1));
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy renamed(&monitor, &volumes::VolumeMonitor::volumeRenamed);
    // The service starts after the monitor: it is followed from then on.
    ASSERT_TRUE(m_serviceBus.unregisterService(serviceName));
    monitor.start();
    EXPECT_FALSE(monitor.followsStorageService());
    ASSERT_TRUE(ready.wait(10000));
    ASSERT_TRUE(m_serviceBus.registerService(serviceName));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.followsStorageService(); }, 10000));

    // e2label on a mounted volume: nothing in the mount table changes.
    ASSERT_TRUE(m_volume->relabel(QStringLiteral("OFFSITE")));
    QDBusMessage changed = QDBusMessage::createSignal(blockPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    changed << QStringLiteral("org.freedesktop.UDisks2.Block")
            << QVariantMap{{QStringLiteral("IdLabel"), QStringLiteral("OFFSITE")}} << QStringList();
    ASSERT_TRUE(m_serviceBus.send(changed));

    const auto ours = [&] {
        for (const QList<QVariant> &event : renamed) {
            if (event.value(0).value<MountedVolume>().mountPath == m_volume->mountPath()) {
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
