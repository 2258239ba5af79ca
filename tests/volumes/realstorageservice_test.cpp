// The volume monitor, the eject and an automatic backup against the real
// storage service (udisksd) on a private system bus, with the test's own
// loop devices made into drives that can be powered off. Needs root and the
// dbus, udev and udisks2 packages; skipped with the reason otherwise. The
// service is started once for the whole suite: the process's system bus
// connection is made once and then kept.
#include "jobtesting.h"
#include "loopvolume.h"
#include "realstorageservice.h"
#include "systemcommands.h"

#include "backup/backupcontroller.h"
#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "platform/preferences.h"
#include "volumes/volumeeject.h"
#include "volumes/volumeejector.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RealStorageServiceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_service = new RealStorageService();
        if (s_service->isRunning()) {
            // Everything in this process that asks the system bus (the
            // backup run's eject too) reaches the private one.
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", s_service->busAddress().toUtf8());
        }
    }
    static void TearDownTestSuite()
    {
        delete s_service;
        s_service = nullptr;
    }

    void SetUp() override
    {
        if (!s_service->isRunning()) {
            GTEST_SKIP() << s_service->skipReason().toStdString();
        }
        volume = std::make_unique<LoopVolume>(LoopVolume::Kind::Ext4, QStringLiteral("VTEST"), 16);
        if (!volume->isMounted()) {
            GTEST_SKIP() << volume->skipReason().toStdString();
        }
        ASSERT_TRUE(s_service->addDevice(volume->device())) << "no drive for " << volume->device().toStdString();
    }

    void TearDown() override
    {
        // A mount the service made of the test's device goes with the test,
        // also when the test ended before it learnt where.
        if (volume && !volume->device().isEmpty()) {
            for (const volumes::MountedVolume &mounted : volumes::LinuxVolumeTable().volumes()) {
                if (mounted.device == volume->device() && mounted.mountPath != volume->mountPath()) {
                    runCommand(QStringLiteral("umount"), {mounted.mountPath});
                }
            }
        }
        volume.reset();
    }

    // Asks the service to mount the volume, as a desktop does on plug-in;
    // what follows is seen through the monitor, not the service's answer.
    void mountThroughService()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.UDisks2"), s_service->blockObject(volume->device()),
            QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
        call << QVariantMap();
        s_service->bus().asyncCall(call, 20000);
    }

    static RealStorageService *s_service;
    std::unique_ptr<LoopVolume> volume;
};

RealStorageService *RealStorageServiceTest::s_service = nullptr;

TEST_F(RealStorageServiceTest, EjectRefusesABusyVolumeThenUnmountsAndPowersOff)
{
    // The calls as the bus carries them (root may watch the bus).
    QProcess watcher;
    watcher.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("--address"), s_service->busAddress(),
                   QStringLiteral("type='method_call',interface='org.freedesktop.UDisks2.Drive'"),
                   QStringLiteral("type='method_call',interface='org.freedesktop.UDisks2.Filesystem'")});
    ASSERT_TRUE(watcher.waitForStarted(5000));
    QByteArray seen;
    // Subscribed once it sees a probe call of ours (the service refuses it).
    ASSERT_TRUE(waitUntil([&] {
        s_service->bus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.UDisks2"), s_service->driveObject(volume->device()),
            QStringLiteral("org.freedesktop.UDisks2.Drive"), QStringLiteral("VelloryProbe")));
        seen += watcher.readAllStandardOutput();
        return seen.contains("member=VelloryProbe");
    }));
    QFile open(volume->mountPath() + QStringLiteral("/open.txt"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    const QString refusal = volumes::unmountAndEject(volume->mountPath(), s_service->bus());
    EXPECT_TRUE(refusal.contains(QStringLiteral("busy"), Qt::CaseInsensitive)) << refusal.toStdString();
    EXPECT_TRUE(platform::isMountPoint(volume->mountPath()));
    open.close();
    EXPECT_EQ(volumes::unmountAndEject(volume->mountPath(), s_service->bus()), QString());
    EXPECT_FALSE(platform::isMountPoint(volume->mountPath()));
    // Powering off was asked for, after the unmount and only then, and no
    // eject besides; the service answers a loop device that it has no USB
    // device to switch off, which leaves the (unmounted) volume safe to
    // remove all the same.
    EXPECT_TRUE(waitUntil([&] {
        seen += watcher.readAllStandardOutput();
        return seen.contains("member=PowerOff");
    })) << seen.toStdString();
    EXPECT_EQ(seen.count("member=PowerOff"), 1);
    EXPECT_LT(seen.lastIndexOf("member=Unmount"), seen.indexOf("member=PowerOff"));
    EXPECT_FALSE(seen.contains("member=Eject"));
    watcher.terminate();
    watcher.waitForFinished(5000);
}

TEST_F(RealStorageServiceTest, ConnectingTheDestinationStartsABackupThatEjectsIt)
{
    QTemporaryDir sources;
    QTemporaryDir data;
    for (const char *name : {"a.txt", "b.txt"}) {
        QFile file(sources.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
    }
    BackupScript script;
    script.sourcePaths = {sources.path()};
    script.volumeUUID = blkidValue(volume->device(), QStringLiteral("UUID")).toUpper();
    script.volumeName = QStringLiteral("VTEST");
    script.volumePath = volume->mountPath();
    script.volumeCapacity = 16 * 1024 * 1024;
    ASSERT_TRUE(ScriptStore(data.path()).save(script));
    ASSERT_TRUE(volume->unmount());
    platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
    platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));

    volumes::LinuxVolumeTable table;
    volumes::LinuxVolumeMonitor monitor(s_service->bus());
    volumes::SystemVolumeEjector ejector;
    BackupControllerServices services;
    services.store = ScriptStore(data.path());
    services.volumeTable = &table;
    services.volumeMonitor = &monitor;
    services.volumeEjector = &ejector;
    BackupController controller(std::move(services));
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return monitor.isReady(); }));
    EXPECT_TRUE(monitor.followsStorageService());
    QSignalSpy started(&controller, &BackupController::automaticBackupStarted);

    mountThroughService();
    ASSERT_TRUE(waitUntil([&] { return started.size() == 1; }, 20000));
    const QString mountedByService = controller.volumePath();
    EXPECT_NE(mountedByService, volume->mountPath()); // the service's own place
    const std::shared_ptr<BackupThread> job = controller.threads()->jobAt(0);
    QSignalSpy finished(job.get(), &BackupThread::runFinished);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }, 30000));

    EXPECT_EQ(job->status(), BackupThreadStatusValue::completed) << job->log().join('\n').toStdString();
    EXPECT_EQ(job->outcome().itemsBackedUp, 2u);
    EXPECT_TRUE(job->outcome().ejectTried);
    EXPECT_EQ(job->outcome().ejectError, QString());
    EXPECT_FALSE(platform::isMountPoint(mountedByService));
    EXPECT_TRUE(waitUntil([&] { return controller.volumeStatus() == VolumeStatusValue::NotConnected; }));
}

} // namespace
