// The controller over fake volumes: the destination's state, sources and
// icons, choosing and ejecting, the store, volume events and the job list.
#include "controllertesting.h"

#include "backup/displayformat.h"
#include "backup/scriptstorewatcher.h"

#include <QLocale>
#include <QPointer>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kUuid = u"5E1F-0A2B"_s;
const QString kPath = u"/media/ann/STICK"_s;

// "8.0 GB Capacity", "2.0 GB Available".
QString spaceLabel(quint64 bytes, const char *what)
{
    return displayformat::byteCount(bytes) + u' ' + QLatin1StringView(what);
}

} // namespace

TEST(BackupControllerStart, WritesTheStoreOnlyWhenTheDestinationWasFoundRenamedOrMoved)
{
    {
        // No destination: a volume without a UUID is not it, and there is nothing to eject.
        ControllerFixture f;
        f.table.mount(fakeStick(QString(), u"NOID"_s, u"/media/ann/NOID"_s));
        BackupController &controller = f.start();
        EXPECT_FALSE(QFile::exists(f.store().filePath())) << "a file was written without any change";
        EXPECT_EQ(controller.volumeLabelCapacity(), u"No volume selected"_s);
        EXPECT_EQ(controller.volumeLabelAvailable(), u"No volume selected"_s);
        QStringList answers;
        controller.ejectVolume([&](const QString &error) { answers.append(error); });
        ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }));
        EXPECT_FALSE(answers.first().isEmpty()) << "a refusal says why";
        EXPECT_TRUE(f.ejector.requests().isEmpty());
    }
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
    // Renamed and mounted elsewhere since; another stick now sits at the old
    // path. UUIDs compare without regard to case.
    f.table.mount(fakeStick(u"0000-1111"_s, u"STICK"_s, kPath));
    f.table.mount(fakeStick(kUuid.toLower(), u"OFFSITE"_s, u"/media/ann/OFFSITE"_s));
    BackupController &controller = f.start();
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    const BackupScript stored = f.stored();
    EXPECT_EQ(stored.volumeName, u"OFFSITE"_s);
    EXPECT_EQ(stored.volumePath, u"/media/ann/OFFSITE"_s);
    EXPECT_EQ(stored.volumeUUID, kUuid) << "the recorded identity must not change";
    EXPECT_TRUE(f.output.isEmpty());
}

TEST(BackupControllerVolumeStatus, ShowsTheRecordedCapacityAndTheFreeSpaceWithUsageWithinZeroAndOne)
{
    struct Case
    {
        const char *what;
        bool mounted;
        quint64 recordedCapacity;
        std::optional<std::int64_t> available;
        bool iconMissing;
        VolumeStatusValue status;
        QString availableLabel;
        float usage;
        bool volumeIcon;
    };
    const auto C = VolumeStatusValue::Connected;
    const Case cases[] = {
        {"not mounted", false, 8'000'000'000, 0, false, VolumeStatusValue::NotConnected, u"Not connected"_s, 0, false},
        // The capacity shown is the recorded one, even when the table says otherwise.
        {"connected", true, 8'000'000'000, 2'000'000'000, false, C, spaceLabel(2'000'000'000, "Available"), 0.75f, true},
        {"reformatted larger", true, 1'000'000'000, 3'000'000'000, false, C, spaceLabel(3'000'000'000, "Available"), 0, true},
        {"no recorded capacity", true, 0, 500, false, C, spaceLabel(500, "Available"), 0, true},
        {"full", true, 1'000'000'000, 0, false, C, spaceLabel(0, "Available"), 1.0f, true},
        {"no free space or icon", true, 8'000'000'000, std::nullopt, true, C, u"Not connected"_s, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ControllerFixture f;
        f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath, c.recordedCapacity));
        volumes::MountedVolume stick = fakeStick(kUuid, u"STICK"_s, kPath, 9'000'000'000, 0);
        stick.availableBytes = c.available;
        if (c.mounted) {
            f.table.mount(stick);
        }
        f.icons->volumeIconMissing = c.iconMissing;
        // Found as recorded or not at all: a save would replace the file (a new inode).
        struct stat before {}, after {};
        ASSERT_EQ(::stat(QFile::encodeName(f.store().filePath()).constData(), &before), 0);
        BackupController &controller = f.start();
        ASSERT_EQ(::stat(QFile::encodeName(f.store().filePath()).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "the store was written without any change";
        EXPECT_EQ(controller.volumeStatus(), c.status);
        EXPECT_EQ(controller.volumeLabelCapacity(), spaceLabel(c.recordedCapacity, "Capacity"));
        EXPECT_EQ(controller.volumeLabelAvailable(), c.availableLabel);
        EXPECT_FLOAT_EQ(controller.volumeUsage(), c.usage);
        EXPECT_EQ(controller.volumeIcon().names.value(0), c.volumeIcon ? u"blue"_s : u"red"_s) << "the volume's own or the missing icon";
    }
}

TEST(BackupControllerSources, AddingMovesAPathToTheEndRemovingTakesEveryCopyIconsAreCachedAndAnotherProgramsChangesAreKept)
{
    ControllerFixture f;
    BackupScript script = setWithDestination(kUuid, u"STICK"_s, kPath);
    script.sourcePaths = {u"/a"_s, u"/b"_s, u"/a"_s, u"/c"_s};
    f.storeSet(script);
    f.icons->unknownFiles = {u"/gone"_s};
    BackupController &controller = f.start();
    QSignalSpy changed(&controller, &BackupController::scriptChanged);
    controller.addSourcePath(u"/a"_s);
    EXPECT_EQ(controller.sourcePaths(), QStringList({u"/b"_s, u"/c"_s, u"/a"_s}));
    controller.addSourcePath(u"/d"_s);
    controller.addSourcePath(u"/b"_s);
    controller.removeSourcePath(u"/a"_s);
    controller.removeSourcePath(u"/nowhere"_s);
    EXPECT_EQ(f.stored().sourcePaths, QStringList({u"/c"_s, u"/d"_s, u"/b"_s}));
    EXPECT_EQ(changed.size(), 4) << "a change that changed nothing was announced";
    EXPECT_EQ(f.stored().scriptUUID, controller.script().scriptUUID);

    // A drop of many items is one change, ordered as one add at a time would.
    changed.clear();
    QStringList drop;
    for (int i = 0; i < 2000; ++i) {
        drop.append(u"/drop/%1"_s.arg(i));
    }
    drop.append({u"/c"_s, u"/drop/7"_s});
    controller.addSourcePaths(drop);
    EXPECT_EQ(changed.size(), 1);
    QStringList expected = QStringList{u"/d"_s, u"/b"_s} + drop.first(2000);
    expected.removeAll(u"/drop/7"_s);
    EXPECT_EQ(f.stored().sourcePaths, (expected + QStringList{u"/c"_s, u"/drop/7"_s}));

    EXPECT_EQ(controller.icon(u"/home/ann"_s).names.value(0), u"green"_s);
    EXPECT_EQ(controller.icon(u"/home/ann"_s).names.value(0), u"green"_s);
    EXPECT_EQ(f.icons->fileRequests[u"/home/ann"_s], 1);
    EXPECT_EQ(controller.icon(u"/gone"_s).names.value(0), u"yellow"_s);
    f.icons->unknownFiles.clear();
    EXPECT_EQ(controller.icon(u"/gone"_s).names.value(0), u"green"_s);
    EXPECT_EQ(f.icons->fileRequests[u"/gone"_s], 2);

    // The image URL of a path with blanks and a "#" leads back to its icon.
    const QString odd = u"/home/ann/My #1 file?.txt"_s;
    const QString source = controller.iconSourceForPath(odd);
    ASSERT_TRUE(source.startsWith(u"image://vellory/"_s));
    EXPECT_FALSE(QUrl(source).hasFragment());
    EXPECT_FALSE(QUrl(source).hasQuery());
    // What an image provider is handed: the URL after "image://vellory/".
    const QString id = QUrl(source).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1);
    EXPECT_EQ(controller.iconForId(id).names.value(0), u"green"_s);
    EXPECT_EQ(f.icons->fileRequests[odd], 1);
    EXPECT_TRUE(controller.iconForId(u"nothing/1"_s).isNull());
    QTemporaryDir dir;
    EXPECT_TRUE(ThemeIconSource().fileIcon(dir.filePath(u"missing.txt"_s)).isNull());
    EXPECT_TRUE(ThemeIconSource().fileIcon(QString()).isNull());

    // vellory-cli writes the same store while the window runs: a source it
    // adds shows through the watcher, and our next change keeps its changes.
    ScriptStoreWatcher watcher(controller.store().filePath());
    QObject::connect(&watcher, &ScriptStoreWatcher::changed, &controller, &BackupController::reloadScript);
    BackupScript fromCli = f.stored();
    fromCli.sourcePaths.append(u"/home/ann/Music"_s);
    f.storeSet(fromCli); // replaced whole, as every save does
    EXPECT_TRUE(waitUntil([&] { return controller.sourcePaths().contains(u"/home/ann/Music"_s); }));
    QObject::disconnect(&watcher, nullptr, &controller, nullptr);
    fromCli.sourcePaths.append(u"/home/ann/Video"_s);
    f.storeSet(fromCli);
    controller.addSourcePath(u"/home/ann/Photos"_s);
    EXPECT_EQ(f.stored().sourcePaths, fromCli.sourcePaths + QStringList{u"/home/ann/Photos"_s});
    EXPECT_EQ(controller.sourcePaths(), f.stored().sourcePaths);
    // It removes the destination; reading the store again shows it.
    fromCli = f.stored();
    fromCli.clearVolume();
    f.storeSet(fromCli);
    changed.clear();
    controller.reloadScript();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotSpecified);
    EXPECT_EQ(f.stored(), controller.script());
    controller.reloadScript();
    EXPECT_EQ(changed.size(), 1) << "nothing new in the store: nothing changes";
}

TEST(BackupControllerSelectVolume, RefusalsLeaveTheSetAsItWasAnotherVolumeReplacesItAndTheSameOneIsRefreshed)
{
    ControllerFixture f;
    const BackupScript original = setWithDestination(kUuid, u"STICK"_s, kPath);
    f.storeSet(original);
    volumes::MountedVolume card = fakeStick(u"C0DE-CAFE"_s, QString(), u"/media/ann/sdcard"_s, 32'000'000'000, 8'000'000'000);
    card.deviceModel = u"SD Reader"_s;
    card.deviceProtocol = u"Secure Digital"_s;
    f.table.mount(card);
    f.table.setUnreadable(u"/media/ann/SECRET"_s, u"Permission denied"_s);
    BackupController &controller = f.start();
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    QSignalSpy refused(&controller, &BackupController::volumeRefused);
    QSignalSpy changed(&controller, &BackupController::scriptChanged);
    // Every refusal of the validator comes through (its tests list them all).
    const std::tuple<QString, QString, QString> cases[] = {
        {u"/home/ann/Documents"_s, u"Documents"_s, u"The item is not a volume. Please try again with a volume."_s},
        // An item that cannot be looked at: the reason, and the name left alone.
        {u"/media/ann/SECRET"_s, u"kept"_s, u"Permission denied"_s},
    };
    for (const auto &[path, name, message] : cases) {
        QString errorMessage;
        QString itemName = u"kept"_s;
        EXPECT_FALSE(controller.validateVolume(QUrl::fromLocalFile(path), errorMessage, itemName));
        EXPECT_EQ(errorMessage, message);
        EXPECT_EQ(itemName, name);
        EXPECT_FALSE(chooseVolume(controller, QUrl::fromLocalFile(path)));
        ASSERT_FALSE(refused.isEmpty());
        EXPECT_EQ(refused.last().at(1).toString(), message);
        if (name != u"kept"_s) {
            EXPECT_EQ(refused.last().at(0).toString(), name);
        }
    }
    EXPECT_EQ(changed.size(), 0) << "a refusal changed the set";
    // The alert's fallbacks; its texts are checked in the main window's test.
    EXPECT_EQ(BackupController::refusalTitle(QString()), u"Unable to use \"Unknown item\""_s);
    EXPECT_EQ(BackupController::refusalMessage(QString()), u"Unknown reason"_s);
    // What the panel may offer while the destination is not plugged in.
    EXPECT_TRUE(controller.hasDestination());
    EXPECT_FALSE(controller.isConnected() || controller.canStartBackup());

    // A drop: nothing local is refused; of several items only the first
    // local one is offered, once the drop's event is done.
    EXPECT_FALSE(controller.selectDroppedVolume({}));
    EXPECT_FALSE(controller.selectDroppedVolume({QUrl(u"https://example.com/x"_s)}));
    EXPECT_TRUE(controller.selectDroppedVolume({QUrl(u"https://example.com/x"_s), QUrl::fromLocalFile(u"/home/ann/Documents"_s),
                                                QUrl::fromLocalFile(u"/media/ann/sdcard"_s)}));
    EXPECT_EQ(refused.size(), 2);
    ASSERT_TRUE(refused.wait(5000));
    EXPECT_EQ(refused.last().at(0).toString(), u"Documents"_s);
    controller.waitForVolumeReadings();
    EXPECT_FALSE(controller.isConnected()) << "the second item dropped was taken too";

    // A name that cannot be read is "Untitled"; identity, sources and last backup stay.
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(u"/media/ann/sdcard/"_s)));
    BackupScript expected = setWithDestination(u"C0DE-CAFE"_s, u"Untitled"_s, u"/media/ann/sdcard"_s, 32'000'000'000);
    expected.scriptUUID = original.scriptUUID;
    expected.volumeDescription = u"SD Reader, Secure Digital"_s;
    EXPECT_EQ(f.stored(), expected);
    EXPECT_EQ(controller.script(), expected);
    EXPECT_TRUE(controller.isConnected() && controller.canStartBackup());
    EXPECT_EQ(controller.volumeLabelCapacity(), spaceLabel(32'000'000'000, "Capacity"));
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.75f);

    // The same volume, renamed and larger: what is recorded is refreshed.
    f.table.unmount(u"/media/ann/sdcard"_s);
    f.table.mount(fakeStick(u"C0DE-CAFE"_s, u"RENAMED"_s, kPath, 16'000'000'000, 1'000'000'000));
    ASSERT_TRUE(chooseVolume(controller, QUrl::fromLocalFile(kPath)));
    expected = setWithDestination(u"C0DE-CAFE"_s, u"RENAMED"_s, kPath, 16'000'000'000);
    expected.scriptUUID = original.scriptUUID;
    EXPECT_EQ(f.stored(), expected);

    // Cleared: the destination goes, sources and identity stay.
    controller.clearVolume();
    BackupScript cleared;
    cleared.scriptUUID = original.scriptUUID;
    cleared.sourcePaths = original.sourcePaths;
    EXPECT_EQ(f.stored(), cleared);
    EXPECT_FALSE(controller.hasDestination() || controller.isConnected() || controller.canStartBackup());
}

TEST(VolumeDidMount, TheDestinationStartsABackupOnTopFlippingShowWindowAndStampingTheSetUnlessAutomaticBackupIsOff)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
    BackupController &controller = f.start();
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    QSignalSpy window(&controller, &BackupController::showWindowChanged);
    QSignalSpy started(&controller, &BackupController::backupStarted);
    const bool shown = controller.showWindow();

    // The key never written. Mounted somewhere new: recognised by its UUID,
    // its path taken over.
    f.monitor.mount(fakeStick(kUuid, u"STICK"_s, u"/media/ann/STICK1"_s));
    EXPECT_EQ(f.stored().volumePath, u"/media/ann/STICK1"_s);
    ASSERT_EQ(controller.threads()->count(), 1);
    const std::shared_ptr<BackupThread> first = controller.threads()->jobAt(0);
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.first().first().value<BackupThread *>(), first.get());
    EXPECT_EQ(first->icon(), controller.volumeIcon());
    EXPECT_EQ(first->progressTitle(), u"Backing up to \"STICK\""_s);
    // The job was made after the refresh, so it goes to the new path, with
    // the set from before the stamp.
    EXPECT_EQ(first->script().volumePath, u"/media/ann/STICK1"_s);
    EXPECT_EQ(first->script().lastBackup, u"3/1/24, 9:00 AM"_s);
    const QString stamp = QLocale().toString(f.now, QLocale::ShortFormat);
    EXPECT_EQ(controller.lastBackup(), stamp);
    EXPECT_EQ(f.stored().lastBackup, stamp);
    EXPECT_EQ(controller.showWindow(), !shown);

    // Plugged in again an hour later while that job may still run: a second
    // job, on top.
    f.now = f.now.addSecs(3600);
    const QString later = QLocale().toString(f.now, QLocale::ShortFormat);
    ASSERT_TRUE(f.monitor.unmount(u"/media/ann/STICK1"_s));
    f.monitor.mount(fakeStick(kUuid, u"STICK"_s, u"/media/ann/STICK1"_s));
    ASSERT_EQ(controller.threads()->count(), 2);
    const std::shared_ptr<BackupThread> second = controller.threads()->jobAt(0);
    EXPECT_EQ(controller.threads()->jobAt(1), first) << "the newer job must come first";
    EXPECT_EQ(second->script().lastBackup, stamp);
    EXPECT_EQ(controller.showWindow(), shown);
    EXPECT_EQ(f.stored().lastBackup, later);
    // Their failure without the volume does not undo the stamp.
    ASSERT_TRUE(waitUntil([&] {
        return first->status() == BackupThreadStatusValue::completed && second->status() == BackupThreadStatusValue::completed;
    }));
    EXPECT_GT(first->errorCount(), 0u);
    EXPECT_EQ(controller.lastBackup(), later);

    // Switched off: a mount only refreshes.
    f.settings->setAutoBackupOnConnect(false);
    ASSERT_TRUE(f.monitor.unmount(u"/media/ann/STICK1"_s));
    f.output.clear();
    f.now = f.now.addSecs(3600);
    f.monitor.mount(fakeStick(kUuid, u"STICK"_s, kPath, 8'000'000'000, 4'000'000'000));
    f.settle();
    EXPECT_EQ(f.output, QStringList{u"We received the mount notification"_s});
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_NE(controller.volumeIcon(), controller.missingVolumeIcon());
    EXPECT_EQ(controller.threads()->count(), 2);
    EXPECT_EQ(window.size(), 2);
    EXPECT_EQ(controller.lastBackup(), later);
}

TEST(VolumeDidMount, AnotherVolumeOrOneWithoutUuidOrTheMonitorsFirstReadingWithoutItChangesNothingAndPrintsNothing)
{
    for (const bool withDestination : {true, false}) {
        SCOPED_TRACE(withDestination);
        ControllerFixture f;
        if (withDestination) {
            f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
        }
        BackupController &controller = f.start();
        const BackupScript before = controller.script();
        QSignalSpy status(&controller, &BackupController::volumeStatusChanged);
        QSignalSpy script(&controller, &BackupController::scriptChanged);
        f.monitor.start(); // its first reading finds no destination
        f.settle();
        f.monitor.mount(fakeStick(u"0000-1111"_s, u"STICK"_s, kPath));
        f.monitor.mount(fakeStick(QString(), u"NOID"_s, u"/media/ann/NOID"_s));
        ASSERT_TRUE(f.monitor.relabel(u"/media/ann/NOID"_s, u"RENAMED"_s));
        f.settle();
        EXPECT_TRUE(f.output.isEmpty());
        EXPECT_EQ(controller.threads()->count(), 0);
        EXPECT_EQ(status.size() + script.size(), 0);
        EXPECT_EQ(controller.script(), before);
        EXPECT_EQ(QFile::exists(f.store().filePath()), withDestination);
    }
}

TEST(VolumeDidRenameAndUnmount, OnlyChangesAreNotifiedTheNewNameIsSavedAnUnmountLeavesTheJobRunningAndOnlyTheDestinationIsEjected)
{
    ControllerFixture f;
    f.settings->setAutoBackupOnConnect(false);
    f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
    const volumes::MountedVolume stick = fakeStick(kUuid, u"STICK"_s, kPath, 8'000'000'000, 2'000'000'000);
    f.table.mount(stick);
    f.table.mount(fakeStick(u"0000-1111"_s, u"OTHER"_s, u"/media/ann/OTHER"_s));
    BackupController &controller = f.start();
    const BackupScript before = controller.script();

    // A refresh that finds nothing new announces nothing; a change, once.
    QSignalSpy status(&controller, &BackupController::volumeStatusChanged);
    QSignalSpy icon(&controller, &BackupController::volumeIconChanged);
    QSignalSpy script(&controller, &BackupController::scriptChanged);
    QSignalSpy available(&controller, &BackupController::volumeLabelAvailableChanged);
    const QString iconSource = controller.volumeIconSource();
    controller.updateVolumeStatus();
    f.settle();
    EXPECT_EQ(status.size() + icon.size() + script.size() + available.size(), 0);
    EXPECT_EQ(controller.volumeIconSource(), iconSource);
    f.table.unmount(kPath);
    controller.updateVolumeStatus();
    f.settle();
    EXPECT_EQ(status.size(), 1);
    EXPECT_EQ(icon.size(), 1);
    EXPECT_EQ(available.size(), 1);
    EXPECT_NE(controller.volumeIconSource(), iconSource) << "views would keep showing the old icon";
    EXPECT_EQ(controller.iconForId(controller.volumeIconSource().mid(16)), controller.missingVolumeIcon());
    f.table.mount(stick);
    controller.updateVolumeStatus();
    f.settle();
    status.clear();

    // Other events change nothing.
    ASSERT_TRUE(f.monitor.relabel(u"/media/ann/OTHER"_s, u"STICK"_s));
    f.settle();
    EXPECT_TRUE(f.output.isEmpty());
    controller.volumeDidRename(fakeStick(kUuid, u"NEW"_s, QString()), u"STICK"_s);
    volumes::MountedVolume noName = fakeStick(kUuid, QString(), kPath);
    controller.volumeDidRename(noName, u"STICK"_s);
    // The destination's event arrives after it has gone again.
    f.table.unmount(kPath);
    controller.volumeDidRename(fakeStick(kUuid, u"NEW"_s, kPath), u"STICK"_s);
    f.settle();
    f.table.mount(stick);
    ASSERT_TRUE(f.monitor.unmount(u"/media/ann/OTHER"_s));
    controller.volumeDidUnmount(volumes::MountedVolume());
    EXPECT_EQ(f.output, QStringList({u"Error collecting vital information"_s, u"Error collecting vital information"_s,
                                     u"Failed to get volume resources"_s, u"Missing vital Information"_s}));
    EXPECT_EQ(controller.script(), before);
    EXPECT_EQ(f.stored(), before) << "the store was written";

    f.output.clear();
    ASSERT_TRUE(f.monitor.relabel(kPath, u"Ann's \"Backup\""_s));
    f.settle();
    EXPECT_EQ(f.output, QStringList{u"We received the rename notification to \"Ann's \"Backup\"\""_s});
    EXPECT_EQ(controller.volumeName(), u"Ann's \"Backup\""_s);
    EXPECT_EQ(f.stored().volumeName, u"Ann's \"Backup\""_s);
    EXPECT_EQ(f.stored().volumePath, kPath);
    EXPECT_EQ(status.size(), 0);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);

    // Unmounted while its job runs: not connected; the job is not told and
    // runs to its own end.
    controller.startBackup();
    const std::shared_ptr<BackupThread> job = controller.threads()->jobAt(0);
    f.output.clear();
    ASSERT_TRUE(f.monitor.unmount(kPath));
    EXPECT_EQ(f.output, QStringList{u"We received the unmount notification"_s});
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected) << "at once, before the table is read";
    ASSERT_TRUE(waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; }));
    EXPECT_EQ(controller.threads()->count(), 1);

    // Away, then another stick at its path: an eject asks nothing and says why.
    QStringList answers;
    controller.ejectVolume([&](const QString &error) { answers.append(error); });
    f.table.mount(fakeStick(u"0000-2222"_s, u"STICK"_s, kPath));
    controller.ejectVolume([&](const QString &error) { answers.append(error); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers.contains(QString())) << "every refusal says why";
    f.table.unmount(kPath);

    // Back, and ejected: the unmount that follows turns the panel to not connected.
    f.monitor.mount(stick);
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    controller.ejectVolume();
    f.settle();
    EXPECT_EQ(f.ejector.requests(), QStringList{kPath}) << "only the destination itself is ejected";
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    EXPECT_EQ(controller.volumeLabelAvailable(), u"Not connected"_s);

    // Back once more and removed: labels, icon and usage stay until the next refresh.
    f.monitor.mount(stick);
    f.settle();
    ASSERT_FLOAT_EQ(controller.volumeUsage(), 0.75f);
    controller.clearVolume();
    EXPECT_EQ(controller.volumeLabelAvailable(), spaceLabel(2'000'000'000, "Available"));
    controller.updateVolumeStatus();
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.75f);
}

// A reading of the table that the destination's move overtook never outlives
// the monitor's first reading or a rename's answer held back until after it.
TEST(BackupControllerRemount, AReadingTakenBeforeTheDestinationMovedNeverLeavesTheOldPath)
{
    const QString moved = u"/media/ann/STICK1"_s;
    auto expectAt = [](ControllerFixture &f, const QString &path) {
        f.settle();
        EXPECT_EQ(f.controller->volumeStatus(), VolumeStatusValue::Connected);
        EXPECT_EQ(f.controller->volumePath(), path);
        EXPECT_EQ(f.stored().volumePath, path);
    };
    // Moved or plugged in between the controller's reading (applied or on its
    // way) and the monitor's first one; only a new arrival is backed up.
    for (const auto &[applied, wasThere] :
         {std::pair{true, true}, std::pair{false, true}, std::pair{true, false}, std::pair{false, false}}) {
        SCOPED_TRACE(std::string(applied ? "applied" : "on its way") + (wasThere ? ", moved" : ", plugged in"));
        ControllerFixture f;
        f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
        if (wasThere) {
            f.table.mount(fakeStick(kUuid, u"STICK"_s, kPath));
        }
        if (!applied) {
            f.table.holdNextLookAt(kPath);
        }
        BackupController &controller = f.start(nullptr, applied);
        ASSERT_TRUE(applied || waitUntil([&] { return f.table.isHoldingLook(); }));
        f.table.unmount(kPath);
        f.table.mount(fakeStick(kUuid, u"STICK"_s, moved));
        f.monitor.start();
        f.table.releaseLook();
        expectAt(f, moved);
        EXPECT_EQ(controller.threads()->count(), wasThere ? 0 : 1);
        EXPECT_EQ(f.output.size(), wasThere ? 0 : 1) << "We received the mount notification";
    }

    // A rename whose answer comes back only after a move.
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, u"STICK"_s, kPath));
    f.table.mount(fakeStick(kUuid, u"STICK"_s, kPath));
    f.settings->setAutoBackupOnConnect(false);
    BackupController &controller = f.start();
    f.table.holdNextLookAt(kPath);
    ASSERT_TRUE(f.monitor.relabel(kPath, u"OFFSITE"_s));
    ASSERT_TRUE(waitUntil([&] { return f.table.isHoldingLook(); }));
    ASSERT_TRUE(f.monitor.unmount(kPath));
    f.monitor.mount(fakeStick(kUuid, u"OFFSITE"_s, moved, 8'000'000'000, 2'000'000'000));
    ASSERT_TRUE(waitUntil([&] { return controller.volumeLabelAvailable().endsWith(u" Available"_s); }));
    f.table.releaseLook();
    expectAt(f, moved);
    EXPECT_EQ(controller.volumeName(), u"OFFSITE"_s);
}

// Closing the last row (not another) is told, so that the Backups window
// goes. A closed row's job lives on only while a log window holds it.
TEST(BackupControllerJobRows, FollowTheirJobsCancelWhileRunningCloseAfterAndOnlyTheLastCloseEmptiesTheList)
{
    ControllerFixture f;
    BackupController &controller = f.start();
    BackupThreadListModel &model = *controller.threads();
    QSignalSpy emptied(&controller, &BackupController::lastJobClosed);
    auto older = BackupThread::create(BackupScript(), IconDescription());
    auto newer = BackupThread::create(BackupScript(), IconDescription());
    model.prepend(older);
    model.prepend(newer);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0), BackupThreadListModel::IdRole).toString(), newer->id());
    EXPECT_EQ(model.jobById(older->id()), older.get());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    older->setStatus(BackupThreadStatusValue::backingUp);
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }));
    EXPECT_EQ(changed.first().at(0).toModelIndex().row(), 1);
    EXPECT_TRUE(model.data(model.index(1), BackupThreadListModel::IsRunningRole).toBool());
    EXPECT_FALSE(model.data(model.index(0), BackupThreadListModel::IsRunningRole).toBool());

    controller.cancelOrClose(older.get());
    ASSERT_TRUE(waitUntil([&] { return !older->isRunning(); }));
    EXPECT_EQ(older->status(), BackupThreadStatusValue::cancelled);
    EXPECT_EQ(model.rowCount(), 2) << "a cancel closed the row";
    controller.cancelOrClose(older.get());
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.jobAt(0), newer);
    EXPECT_EQ(emptied.size(), 0);
    // A log window's job that is no longer listed becomes the placeholder,
    // always the same one.
    BackupThread *placeholder = model.jobOrPlaceholder(older->id());
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->log(), QStringList{u"Backup Initialized"_s});
    EXPECT_EQ(model.jobOrPlaceholder(QString()), placeholder);
    EXPECT_EQ(model.jobOrPlaceholder(newer->id()), newer.get());

    auto window = std::make_unique<QObject>();
    EXPECT_EQ(model.holdJob(newer->id(), window.get()), newer.get());
    const QPointer<BackupThread> held = newer.get();
    const QPointer<BackupThread> closed = older.get();
    const QString closedId = older->id();
    older.reset();
    controller.cancelOrClose(newer.get());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(emptied.size(), 1);
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
