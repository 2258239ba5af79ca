// The controller on this machine's volumes: real ext4 and exFAT images on
// loop devices, the Linux table, monitor and ejector. Needs root; skipped
// with the reason otherwise.
#include "controllertesting.h"
#include "hangingshare.h"
#include "loopvolume.h"
#include "systemcommands.h"

#include "backup/systemvolumeservices.h"
#include "platform/computername.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kSizeMiB = 16;
constexpr int kEventTimeoutMs = 15000;

#define REQUIRE_MOUNTED(volume)                                                                                        \
    if (!(volume).isMounted()) {                                                                                       \
        GTEST_SKIP() << (volume).skipReason().toStdString();                                                          \
    }

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A controller over this machine's volumes with its monitor running.
class RealController
{
public:
    RealController(const QString &dataDir)
    {
        platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
        // The job's close must not eject the test's volumes unless asked.
        platform::preferences()->setValue(QStringLiteral("autoEjectOnComplete"), false);
        services.monitor().setLabelPollInterval(std::chrono::milliseconds(100));
        QSignalSpy ready(&services.monitor(), &volumes::LinuxVolumeMonitor::ready);
        services.monitor().start();
        monitorReady = ready.wait(kEventTimeoutMs);

        BackupControllerServices wiring;
        wiring.store = ScriptStore(dataDir, [this](const QString &line) { output.append(line); });
        wiring.volumeTable = &services.table();
        wiring.volumeMonitor = &services.monitor();
        wiring.volumeEjector = &services.ejector();
        wiring.outputLine = [this](const QString &line) { output.append(line); };
        controller = std::make_unique<BackupController>(std::move(wiring));
    }
    ~RealController()
    {
        controller.reset();
        platform::preferences()->remove(QStringLiteral("autoBackupOnConnect"));
        platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));
    }

    SystemVolumeServices services;
    QStringList output;
    std::unique_ptr<BackupController> controller;
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

std::shared_ptr<BackupThread> finishedJob(BackupController &controller, int row = 0)
{
    const std::shared_ptr<BackupThread> job = controller.threads()->jobAt(row);
    if (!job || !waitUntil([&] { return !job->isRunning() && job->status() != BackupThreadStatusValue::scanning; },
                           60000)) {
        return nullptr;
    }
    // Let the last log lines arrive.
    waitUntil([&] { return job->log().last().contains(QStringLiteral("Backup Process finished")); }, 5000);
    return job;
}

} // namespace

// Refusals are the validator's (see its tests on real volumes); here the
// controller takes real sticks and replaces one with another.
TEST(ControllerOnRealVolumes, ChoosesAStickAndReplacesItWithAnotherKeepingTheLastBackup)
{
    QTemporaryDir data;
    LoopVolume ext4(LoopVolume::Kind::Ext4, QStringLiteral("BACKUP"), kSizeMiB);
    REQUIRE_MOUNTED(ext4);
    LoopVolume exfat(LoopVolume::Kind::ExFat, QStringLiteral("CAMERA"), kSizeMiB);
    REQUIRE_MOUNTED(exfat);
    RealController real(data.path());
    BackupController &controller = *real.controller;
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(ext4.mountPath())));
    EXPECT_EQ(controller.volumeUUID(), blkidValue(ext4.device(), QStringLiteral("UUID")));
    EXPECT_EQ(controller.volumeName(), QStringLiteral("BACKUP"));
    EXPECT_EQ(controller.volumePath(), ext4.mountPath());
    EXPECT_GT(controller.script().volumeCapacity, 8u * 1024 * 1024);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_NE(controller.volumeLabelAvailable(), QStringLiteral("Not connected"));
    // Chosen again: accepted, the same identity.
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(ext4.mountPath())));
    EXPECT_EQ(controller.volumeUUID(), blkidValue(ext4.device(), QStringLiteral("UUID")));

    // A second volume replaces the first; the last backup stays.
    controller.startBackup();
    ASSERT_TRUE(finishedJob(controller));
    const QString stamped = controller.lastBackup();
    ASSERT_NE(stamped, QStringLiteral("Never"));
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(exfat.mountPath())));
    const BackupScript stored = ScriptStore(data.path()).read().script.value_or(BackupScript());
    EXPECT_EQ(stored.volumeUUID, blkidValue(exfat.device(), QStringLiteral("UUID")));
    EXPECT_EQ(stored.volumeName, QStringLiteral("CAMERA"));
    EXPECT_EQ(stored.volumePath, exfat.mountPath());
    EXPECT_EQ(stored.lastBackup, stamped);
}

TEST(ControllerOnRealVolumes, FollowsTheDestinationAsItComesGoesAndIsRenamed)
{
    QTemporaryDir data;
    QTemporaryDir source;
    ASSERT_TRUE(writeFile(source.filePath(QStringLiteral("Notes/a.txt")), "first"));
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
    REQUIRE_MOUNTED(stick);
    RealController real(data.path());
    ASSERT_TRUE(real.monitorReady);
    BackupController &controller = *real.controller;
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(stick.mountPath())));
    controller.addSourcePath(source.filePath(QStringLiteral("Notes")));
    QSignalSpy window(&controller, &BackupController::showWindowChanged);

    // Unplugged: not connected.
    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
    EXPECT_TRUE(real.output.contains(QStringLiteral("We received the unmount notification")));

    // Another volume comes: nothing.
    real.output.clear();
    QSignalSpy mounted(&real.services.monitor(), &volumes::VolumeMonitor::volumeMounted);
    LoopVolume other(LoopVolume::Kind::ExFat, QStringLiteral("STICK"), kSizeMiB);
    REQUIRE_MOUNTED(other);
    ASSERT_TRUE(sawMount(mounted, other.mountPath()));
    EXPECT_TRUE(real.output.isEmpty());
    EXPECT_EQ(controller.threads()->count(), 0);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);

    // Plugged in with automatic backup never set: a backup starts and writes.
    ASSERT_TRUE(stick.mount());
    ASSERT_TRUE(waitUntil([&] { return controller.threads()->count() == 1; }, kEventTimeoutMs));
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(window.size(), 1);
    EXPECT_EQ(real.output.first(), QStringLiteral("We received the mount notification"));
    const std::shared_ptr<BackupThread> job = finishedJob(controller);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->errorCount(), 0u) << job->log().join(u'\n').toStdString();
    const QString copy = stick.mountPath() + QStringLiteral("/Vellory/") + platform::computerName()
        + source.filePath(QStringLiteral("Notes/a.txt"));
    EXPECT_TRUE(QFile::exists(copy)) << copy.toStdString();

    // A new label is picked up and saved, without a change of status.
    real.output.clear();
    ASSERT_TRUE(stick.relabel(QStringLiteral("OFFSITE")));
    ASSERT_TRUE(waitUntil([&] { return controller.volumeName() == QStringLiteral("OFFSITE"); }, kEventTimeoutMs));
    EXPECT_EQ(real.output, QStringList{QStringLiteral("We received the rename notification to \"OFFSITE\"")});
    EXPECT_EQ(ScriptStore(data.path()).read().script.value_or(BackupScript()).volumeName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);

    // With automatic backup off, plugging in only refreshes.
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
    ASSERT_TRUE(stick.mount());
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::Connected));
    EXPECT_EQ(controller.threads()->count(), 1);
    EXPECT_EQ(window.size(), 1);

    // Eject: the volume goes, and the controller follows.
    std::optional<QString> answer;
    controller.ejectVolume([&](const QString &error) { answer = error; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, kEventTimeoutMs));
    EXPECT_EQ(*answer, QString());
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
}

TEST(ControllerOnRealVolumes, ABackupNeverWritesToAnotherStickAtTheDestinationsPath)
{
    QTemporaryDir data;
    QTemporaryDir source;
    ASSERT_TRUE(writeFile(source.filePath(QStringLiteral("Notes/a.txt")), "private"));
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
    REQUIRE_MOUNTED(stick);
    LoopVolume twin(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
    REQUIRE_MOUNTED(twin);

    RealController real(data.path());
    ASSERT_TRUE(real.monitorReady);
    BackupController &controller = *real.controller;
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(stick.mountPath())));
    controller.addSourcePath(source.filePath(QStringLiteral("Notes")));
    const QString path = stick.mountPath();
    ASSERT_TRUE(stick.unmount());
    ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
    ASSERT_TRUE(twin.unmount());
    ASSERT_TRUE(twin.mount(path));
    // The same label at the same path is not the destination.
    QSignalSpy mounted(&real.services.monitor(), &volumes::VolumeMonitor::volumeMounted);
    ASSERT_TRUE(mounted.wait(kEventTimeoutMs));
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);

    // Even with the eject at the close on: the stranger stays mounted.
    platform::preferences()->setValue(QStringLiteral("autoEjectOnComplete"), true);
    controller.startBackup();
    const std::shared_ptr<BackupThread> job = finishedJob(controller);
    ASSERT_TRUE(job);
    EXPECT_TRUE(job->log().filter(QStringLiteral("Error: Volume not connected")).size() == 1)
        << job->log().join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("/Vellory"))) << "the other stick was written to";
    EXPECT_TRUE(platform::isMountPoint(path)) << "the other stick was ejected";
}

TEST(ControllerOnRealVolumes, MountCyclesWithTheMonitorRunningNeverFindAVolumeBusy)
{
    QTemporaryDir data;
    LoopVolume destination(LoopVolume::Kind::Ext4, QStringLiteral("DEST"), kSizeMiB);
    REQUIRE_MOUNTED(destination);
    // exFAT goes through FUSE: every look into it waits on its daemon.
    LoopVolume other(LoopVolume::Kind::ExFat, QStringLiteral("OTHER"), kSizeMiB);
    REQUIRE_MOUNTED(other);
    RealController real(data.path());
    ASSERT_TRUE(real.monitorReady);
    BackupController &controller = *real.controller;
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(destination.mountPath())));

    // Another volume, unmounted the moment it is mounted, while the monitor
    // reads the table on every change and every 100 ms.
    int otherBusy = 0;
    for (int cycle = 0; cycle < 200 && otherBusy == 0; ++cycle) {
        if (!other.unmount()) {
            ++otherBusy;
            break;
        }
        ASSERT_TRUE(other.mount());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(otherBusy, 0) << "another volume was busy";

    // The destination, each time once the controller has looked at it.
    int refused = 0;
    for (int cycle = 0; cycle < 50 && refused == 0; ++cycle) {
        ASSERT_TRUE(reaches(controller, VolumeStatusValue::Connected));
        if (!destination.unmount()) {
            ++refused;
            break;
        }
        ASSERT_TRUE(reaches(controller, VolumeStatusValue::NotConnected));
        ASSERT_TRUE(destination.mount());
    }
    EXPECT_EQ(refused, 0) << "the destination was busy";
}

TEST(ControllerOnRealVolumes, AHungShareFreezesNoWindowAndHoldsUpNeitherTheMonitorNorQuitting)
{
    HangingShare share;
    if (!share.isMounted()) {
        GTEST_SKIP() << share.skipReason().toStdString();
    }
    // The share is the destination: the controller looks into it at start.
    QTemporaryDir data;
    BackupScript script;
    script.volumeUUID = volumes::networkShareUuid(QStringLiteral("hang@loopback:/share"));
    script.volumeName = QStringLiteral("share");
    script.volumePath = share.mountPath();
    ASSERT_TRUE(ScriptStore(data.path()).save(script));
    {
        RealController real(data.path());
        ASSERT_TRUE(real.monitorReady);
        BackupController &controller = *real.controller;
        // A window on the controller, with a timer of its own on the main thread.
        QQmlEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("controller"), &controller);
        QQmlComponent component(&engine);
        component.setData("import QtQuick\n"
                          "Window { visible: true; width: 200; height: 50; property int ticks: 0\n"
                          "  Timer { interval: 10; repeat: true; running: true; onTriggered: ticks++ }\n"
                          "  Text { text: controller.volumeLabelAvailable } }",
                          QUrl());
        const std::unique_ptr<QObject> window(component.create());
        ASSERT_TRUE(window) << component.errorString().toStdString();
        auto ticks = [&window] { return window->property("ticks").toInt(); };
        ASSERT_TRUE(waitUntil([&] { return ticks() >= 5 || !controller.isReadingVolumes(); }));
        EXPECT_TRUE(controller.isReadingVolumes()) << "the window stood still while the share was read";

        // Eject and a choice of an item on the share answer without freezing it.
        std::optional<QString> ejected;
        controller.ejectVolume([&](const QString &error) { ejected = error; });
        QSignalSpy refused(&controller, &BackupController::volumeRefused);
        controller.selectVolume(QUrl::fromLocalFile(share.hangingFolder()));
        EXPECT_TRUE(refused.isEmpty()) << "the chosen item was looked at on the main thread";
        const int choosing = ticks();
        ASSERT_TRUE(waitUntil([&] { return ejected.has_value() && !controller.isReadingVolumes(); }));
        ASSERT_EQ(refused.size(), 1);
        EXPECT_TRUE(refused.first().at(1).toString().startsWith(
            QStringLiteral("The item \"hang\" can't be read: it does not answer.")))
            << refused.first().at(1).toString().toStdString();
        EXPECT_GT(ticks(), choosing) << "the window stood still while the item was looked at";
        EXPECT_EQ(*ejected, QStringLiteral("Not connected"));
        EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
        const int before = ticks();
        EXPECT_TRUE(waitUntil([&] { return ticks() > before; }));

        // A stick plugged in meanwhile is still reported.
        QSignalSpy mounted(&real.services.monitor(), &volumes::VolumeMonitor::volumeMounted);
        LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), kSizeMiB);
        REQUIRE_MOUNTED(stick);
        EXPECT_TRUE(sawMount(mounted, stick.mountPath()));
        // The full table leaves the share out rather than waiting on it.
        for (const volumes::MountedVolume &volume : real.services.table().volumes()) {
            EXPECT_NE(volume.mountPath, share.mountPath());
        }
        EXPECT_TRUE(stick.unmount());
    } // quitting: window, controller, monitor and table go while the share still hangs
    share.release();
}
