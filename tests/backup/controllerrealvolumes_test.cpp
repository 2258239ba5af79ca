// The controller on this machine's volumes: real ext4 and exFAT images on
// loop devices, the Linux table, monitor and ejector. Needs root; skipped
// with the reason otherwise.
#include "controllertesting.h"
#include "hangingshare.h"
#include "runtesting.h"
#include "systemcommands.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kSizeMiB = 16;
constexpr int kEventTimeoutMs = 15000;

// This machine's volumes, their monitor running and reading labels every
// 100 ms, for a controller of the fixture.
class RealVolumes : public ControllerFixture
{
public:
    RealVolumes()
    {
        system.monitor().setLabelPollInterval(std::chrono::milliseconds(100));
        QSignalSpy ready(&system.monitor(), &volumes::LinuxVolumeMonitor::ready);
        system.monitor().start();
        monitorReady = ready.wait(kEventTimeoutMs);
    }
    ~RealVolumes() { controller.reset(); } // before the services it uses

    SystemVolumeServices system;
    bool monitorReady = false;
};

bool reaches(const BackupController &controller, VolumeStatusValue status)
{
    return waitUntil([&] { return controller.volumeStatus() == status; }, kEventTimeoutMs);
}

// Whether the monitor reported a volume mounted at `path`.
bool sawMount(const QSignalSpy &mounted, const QString &path)
{
    return waitUntil([&] {
        return std::any_of(mounted.begin(), mounted.end(), [&](const QList<QVariant> &event) {
            return event.at(0).value<volumes::MountedVolume>().mountPath == path;
        });
    }, kEventTimeoutMs);
}

} // namespace

// The wiring to this machine's table and monitor (its ejector: the CLI's
// test); what the controller makes of each event is checked over fake volumes.
TEST(ControllerOnRealVolumes, FollowsTheDestinationAsItComesGoesAndIsRenamedAndMountCyclesFindNoVolumeBusy)
{
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
    SKIP_WITHOUT(stick);
    RealVolumes real;
    ASSERT_TRUE(real.monitorReady);
    real.settings->setAutoBackupOnConnect(false); // the backup a mount starts: the CLI's watch test
    BackupController &controller = real.start(&real.system);
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(stick.mountPath())));
    EXPECT_EQ(controller.volumeUUID(), blkidValue(stick.device(), QStringLiteral("UUID")));

    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));

    // Another volume with the same label comes. It is exFAT, through FUSE:
    // every look into it waits on its daemon.
    QSignalSpy mounted(&real.system.monitor(), &volumes::VolumeMonitor::volumeMounted);
    LoopVolume other(LoopVolume::Kind::ExFat, QStringLiteral("STICK"), kSizeMiB);
    SKIP_WITHOUT(other);
    ASSERT_TRUE(sawMount(mounted, other.mountPath()));

    ASSERT_TRUE(stick.mount());
    ASSERT_TRUE(stick.relabel(QStringLiteral("OFFSITE")));
    ASSERT_TRUE(waitUntil([&] { return controller.volumeName() == QStringLiteral("OFFSITE"); }, kEventTimeoutMs));

    // Mount cycles, with the monitor reading the table on every change and
    // every 100 ms, never find a volume busy.
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(other.unmount()) << "another volume was busy";
        ASSERT_TRUE(other.mount());
        QCoreApplication::processEvents();
    }
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_TRUE(reaches(controller, VolumeStatusValue::Connected));
        ASSERT_TRUE(stick.unmount()) << "the destination was busy";
        ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
        ASSERT_TRUE(stick.mount());
    }
}

TEST(ControllerOnRealVolumes, AHungShareFreezesNoWindowAndHoldsUpNeitherTheMonitorNorQuitting)
{
    HangingShare share;
    SKIP_WITHOUT(share);
    // Three more shares whose sources hang (another test's may be there at
    // any time): the controller's first reading waits 2 s on each, longer
    // than the reader waits for a whole reading, which then reads again.
    HangingShare others[3] = {HangingShare(HangingShare::Source::SourceInside),
                              HangingShare(HangingShare::Source::SourceInside),
                              HangingShare(HangingShare::Source::SourceInside)};
    // The share is the destination: the controller looks into it at start.
    BackupScript script;
    script.volumeUUID = volumes::networkShareUuid(QStringLiteral("hang@loopback:/share"));
    script.volumeName = QStringLiteral("share");
    script.volumePath = share.mountPath();
    {
        RealVolumes real;
        ASSERT_TRUE(real.monitorReady);
        real.storeSet(script);
        BackupController &controller = real.start(&real.system);
        // A timer of the main thread stands for the window: it ticks while
        // nothing holds the thread.
        int ticked = 0;
        QTimer window;
        QObject::connect(&window, &QTimer::timeout, [&ticked] { ++ticked; });
        window.start(10);
        ASSERT_TRUE(waitUntil([&] { return ticked >= 5 || !controller.isReadingVolumes(); }));
        EXPECT_TRUE(controller.isReadingVolumes()) << "the window stood still while the share was read";

        // Eject and a choice of an item on the share answer without freezing it.
        std::optional<QString> ejected;
        controller.ejectVolume([&](const QString &error) { ejected = error; });
        QSignalSpy refused(&controller, &BackupController::volumeRefused);
        controller.selectVolume(QUrl::fromLocalFile(share.hangingFolder()));
        EXPECT_TRUE(refused.isEmpty()) << "the chosen item was looked at on the main thread";
        const int choosing = ticked;
        ASSERT_TRUE(waitUntil([&] { return ejected.has_value() && !controller.isReadingVolumes(); }));
        ASSERT_EQ(refused.size(), 1);
        EXPECT_TRUE(refused.first().at(1).toString().startsWith(
            QStringLiteral("The item \"hang\" can't be read: it does not answer.")))
            << refused.first().at(1).toString().toStdString();
        EXPECT_GT(ticked, choosing) << "the window stood still while the item was looked at";
        EXPECT_EQ(*ejected, QStringLiteral("Not connected"));
        EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected) << "the reading was never answered";
        const int before = ticked;
        EXPECT_TRUE(waitUntil([&] { return ticked > before; }));
        // Mount tools would wait on the others' sources.
        for (HangingShare &other : others) {
            other.release();
        }

        // A stick plugged in meanwhile is still reported.
        QSignalSpy mounted(&real.system.monitor(), &volumes::VolumeMonitor::volumeMounted);
        LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
        SKIP_WITHOUT(stick);
        EXPECT_TRUE(sawMount(mounted, stick.mountPath()));
        // The full table leaves the share out rather than waiting on it.
        for (const volumes::MountedVolume &volume : real.system.table().volumes()) {
            EXPECT_NE(volume.mountPath, share.mountPath());
        }
        EXPECT_TRUE(stick.unmount());
    } // quitting: controller, monitor and table go while the share still hangs
    share.release();
}
