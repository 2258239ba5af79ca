// The controller's answers to volume events, driven through the fake
// monitor: mount (with automatic backup), unmount and rename, and what each
// prints.
#include "controllertesting.h"

#include <QPointer>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// --- Mount ------------------------------------------------------------------------

TEST(VolumeDidMount, TheDestinationStartsABackupUnlessAutomaticBackupIsOff)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    QSignalSpy window(&controller, &BackupController::showWindowChanged);

    // The key never written. Mounted somewhere new: recognised by its UUID,
    // its path taken over.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), QStringLiteral("/media/ann/STICK1")));
    EXPECT_EQ(f.output, QStringList{QStringLiteral("We received the mount notification")});
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(f.stored().volumePath, QStringLiteral("/media/ann/STICK1"));
    ASSERT_EQ(controller.threads()->count(), 1);
    EXPECT_EQ(window.size(), 1);
    // The job was made after the refresh, so it goes to the new path.
    EXPECT_EQ(controller.threads()->jobAt(0)->script().volumePath, QStringLiteral("/media/ann/STICK1"));
    const QString stamp = QLocale().toString(f.now, QLocale::ShortFormat);
    EXPECT_EQ(controller.lastBackup(), stamp);

    // Plugged in again while that job may still run: a second job.
    ASSERT_TRUE(f.monitor.unmount(QStringLiteral("/media/ann/STICK1")));
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), QStringLiteral("/media/ann/STICK1")));
    EXPECT_EQ(controller.threads()->count(), 2);
    EXPECT_EQ(window.size(), 2);

    // Switched off: a mount only refreshes.
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    ASSERT_TRUE(f.monitor.unmount(QStringLiteral("/media/ann/STICK1")));
    f.output.clear();
    f.now = f.now.addSecs(3600);
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000, 4'000'000'000));
    f.settle();
    EXPECT_EQ(f.output, QStringList{QStringLiteral("We received the mount notification")});
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(controller.volumeLabelAvailable(), availableLabel(4'000'000'000));
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.5f);
    EXPECT_NE(controller.volumeIcon(), controller.missingVolumeIcon());
    EXPECT_EQ(controller.threads()->count(), 2);
    EXPECT_EQ(window.size(), 2);
    EXPECT_EQ(controller.lastBackup(), stamp);

    // Switched on again (true, not merely absent): the next mount backs up.
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), true);
    ASSERT_TRUE(f.monitor.unmount(kPath));
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    EXPECT_EQ(controller.threads()->count(), 3);
}

TEST(VolumeDidMount, ADestinationMountedBeforeTheMonitorsFirstReadingIsTakenAsMounted)
{
    for (const bool mountedInTheGap : {true, false}) {
        SCOPED_TRACE(mountedInTheGap);
        ControllerFixture f;
        f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
        BackupController &controller = f.start();
        ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
        // Plugged in after the controller read the table, before the monitor's
        // first reading: the monitor reports no change for it.
        if (mountedInTheGap) {
            f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
        }
        f.monitor.start();
        f.settle();
        EXPECT_EQ(controller.volumeStatus(),
                  mountedInTheGap ? VolumeStatusValue::Connected : VolumeStatusValue::NotConnected);
        EXPECT_EQ(controller.threads()->count(), mountedInTheGap ? 1 : 0);
        EXPECT_EQ(f.output, mountedInTheGap ? QStringList{QStringLiteral("We received the mount notification")}
                                            : QStringList());
    }
}

TEST(VolumeDidMount, AnotherVolumeOrOneWithoutUuidChangesNothingAndPrintsNothing)
{
    for (const bool withDestination : {true, false}) {
        SCOPED_TRACE(withDestination);
        ControllerFixture f;
        if (withDestination) {
            f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
        }
        BackupController &controller = f.start();
        const BackupScript before = controller.script();
        QSignalSpy status(&controller, &BackupController::volumeStatusChanged);
        QSignalSpy script(&controller, &BackupController::scriptChanged);

        f.monitor.mount(fakeStick(QStringLiteral("0000-1111"), QStringLiteral("STICK"), kPath));
        f.monitor.mount(fakeStick(QString(), QStringLiteral("NOID"), QStringLiteral("/media/ann/NOID")));
        ASSERT_TRUE(f.monitor.relabel(QStringLiteral("/media/ann/NOID"), QStringLiteral("RENAMED")));
        f.settle();
        EXPECT_TRUE(f.output.isEmpty());
        EXPECT_EQ(controller.threads()->count(), 0);
        EXPECT_EQ(status.size() + script.size(), 0);
        EXPECT_EQ(controller.script(), before);
        EXPECT_EQ(f.storeFileExists(), withDestination);
    }
}

// --- Unmount and rename of a connected destination ----------------------------------

namespace {

// The destination connected, another volume beside it, automatic backup off.
BackupController &startConnected(ControllerFixture &f)
{
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000, 2'000'000'000));
    f.table.mount(fakeStick(QStringLiteral("0000-1111"), QStringLiteral("OTHER"), QStringLiteral("/media/ann/OTHER")));
    return f.start();
}

} // namespace

TEST(VolumeDidRenameAndUnmount, TheDestinationsNewNameIsSavedItsUnmountLeavesItsJobRunningAndOtherEventsChangeNothing)
{
    ControllerFixture f;
    BackupController &controller = startConnected(f);
    const BackupScript before = controller.script();
    QSignalSpy status(&controller, &BackupController::volumeStatusChanged);
    ASSERT_TRUE(f.monitor.relabel(QStringLiteral("/media/ann/OTHER"), QStringLiteral("STICK")));
    f.settle();
    EXPECT_TRUE(f.output.isEmpty());
    controller.volumeDidRename(fakeStick(kUuid, QStringLiteral("NEW"), QString()), QStringLiteral("STICK"));
    volumes::MountedVolume noName = fakeStick(kUuid, QString(), kPath);
    controller.volumeDidRename(noName, QStringLiteral("STICK"));
    // The destination's event arrives after it has gone again.
    f.table.unmount(kPath);
    controller.volumeDidRename(fakeStick(kUuid, QStringLiteral("NEW"), kPath), QStringLiteral("STICK"));
    f.settle();
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000, 2'000'000'000));
    ASSERT_TRUE(f.monitor.unmount(QStringLiteral("/media/ann/OTHER")));
    controller.volumeDidUnmount(volumes::MountedVolume());
    EXPECT_EQ(f.output, QStringList({QStringLiteral("Error collecting vital information"),
                                     QStringLiteral("Error collecting vital information"),
                                     QStringLiteral("Failed to get volume resources"),
                                     QStringLiteral("Missing vital Information")}));
    EXPECT_EQ(controller.script(), before);
    EXPECT_EQ(f.stored(), before) << "the store was written";

    f.output.clear();
    ASSERT_TRUE(f.monitor.relabel(kPath, QStringLiteral("Ann's \"Backup\"")));
    f.settle();
    EXPECT_EQ(f.output, QStringList{QStringLiteral("We received the rename notification to \"Ann's \"Backup\"\"")});
    EXPECT_EQ(controller.volumeName(), QStringLiteral("Ann's \"Backup\""));
    EXPECT_EQ(f.stored().volumeName, QStringLiteral("Ann's \"Backup\""));
    EXPECT_EQ(f.stored().volumePath, kPath);
    EXPECT_EQ(status.size(), 0);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);

    // Unmounted while its job runs: not connected; the job is not told and
    // runs to its own end.
    controller.startBackup();
    const std::shared_ptr<BackupThread> job = controller.threads()->jobAt(0);
    f.output.clear();
    ASSERT_TRUE(f.monitor.unmount(kPath));
    EXPECT_EQ(f.output, QStringList{QStringLiteral("We received the unmount notification")});
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("Not connected"));
    EXPECT_EQ(controller.volumeLabelCapacity(), capacityLabel(8'000'000'000));
    EXPECT_EQ(controller.volumeUsage(), 0.0f);
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
    ASSERT_TRUE(waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; }));
    EXPECT_EQ(controller.threads()->count(), 1);
}

// --- The job list -------------------------------------------------------------------

TEST(BackupThreadListModel, RowsFollowTheirJobsAndClosingDropsEveryCopyOfAnId)
{
    BackupThreadListModel model;
    auto older = BackupThread::create(BackupScript(), IconDescription());
    auto newer = BackupThread::create(BackupScript(), IconDescription());
    model.prepend(older);
    model.prepend(newer);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0), BackupThreadListModel::IdRole).toString(), newer->id());
    EXPECT_EQ(model.jobById(older->id()), older.get());
    EXPECT_EQ(model.jobById(QStringLiteral("nope")), nullptr);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    older->setStatus(BackupThreadStatusValue::scanning);
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }));
    EXPECT_EQ(changed.first().at(0).toModelIndex().row(), 1);
    EXPECT_TRUE(model.data(model.index(1), BackupThreadListModel::IsRunningRole).toBool());
    EXPECT_FALSE(model.data(model.index(0), BackupThreadListModel::IsRunningRole).toBool());

    model.removeJob(older->id());
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.jobAt(0), newer);
    // A log window's job that is no longer listed becomes the placeholder,
    // always the same one.
    BackupThread *placeholder = model.jobOrPlaceholder(older->id());
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->log(), QStringList{QStringLiteral("Backup Initialized")});
    EXPECT_EQ(model.jobOrPlaceholder(QString()), placeholder);
    EXPECT_EQ(model.jobOrPlaceholder(newer->id()), newer.get());

    // A closed job lives while a log window holds it, and not a moment longer.
    auto window = std::make_unique<QObject>();
    EXPECT_EQ(model.holdJob(newer->id(), window.get()), newer.get());
    const QPointer<BackupThread> held = newer.get();
    const QPointer<BackupThread> closed = older.get();
    const QString closedId = older->id();
    older.reset();
    model.removeJob(newer->id());
    EXPECT_EQ(model.jobById(closedId), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "a closed row's job outlived every holder";
    newer.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(held.isNull());
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(held.isNull()) << "the job outlived its log window";
}
