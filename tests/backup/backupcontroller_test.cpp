// The controller over fake volumes: its start, the destination's published
// state, sources and their icons, starting backups, choosing, removing and
// ejecting the destination.
#include "controllertesting.h"

#include "backup/displayformat.h"
#include "backup/scriptstorewatcher.h"
#include "jobtesting.h"

#include <QFileInfo>
#include <QLocale>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kUuid = QStringLiteral("5E1F-0A2B");
const QString kPath = QStringLiteral("/media/ann/STICK");

// The store file's inode: a save replaces the file, so a new inode means a write.
ino_t inodeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

QString iconName(const IconDescription &icon)
{
    return icon.names.value(0);
}

QString capacityLabel(quint64 bytes)
{
    return displayformat::byteCount(bytes) + QStringLiteral(" Capacity");
}

QString availableLabel(quint64 bytes)
{
    return displayformat::byteCount(bytes) + QStringLiteral(" Available");
}

} // namespace

// --- Start ------------------------------------------------------------------

TEST(BackupControllerStart, WithoutAStoreFileUsesANewSetAndWritesNothing)
{
    ControllerFixture f;
    BackupController &controller = f.start();
    EXPECT_EQ(controller.script().scriptName, QStringLiteral("Untitled"));
    EXPECT_EQ(controller.script().lastBackup, QStringLiteral("Never"));
    ASSERT_EQ(f.storeLines.size(), 1);
    EXPECT_TRUE(f.storeLines.first().startsWith(QStringLiteral("init() ")));
    EXPECT_FALSE(f.storeFileExists()) << "a file was written without any change";

    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotSpecified);
    EXPECT_EQ(controller.volumeLabelCapacity(), QStringLiteral("No volume selected"));
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("No volume selected"));
    EXPECT_FALSE(controller.missingVolumeIcon().isNull());
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
}

TEST(BackupControllerStart, TakesOverANameAndPathChangedWhileNotRunning)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    // Renamed and mounted elsewhere since; another stick now sits at the old
    // path. UUIDs compare without regard to case.
    f.table.mount(fakeStick(QStringLiteral("0000-1111"), QStringLiteral("STICK"), kPath));
    f.table.mount(fakeStick(kUuid.toLower(), QStringLiteral("OFFSITE"), QStringLiteral("/media/ann/OFFSITE")));

    BackupController &controller = f.start();
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(controller.volumeName(), QStringLiteral("OFFSITE"));
    EXPECT_EQ(controller.volumePath(), QStringLiteral("/media/ann/OFFSITE"));
    const BackupScript stored = f.stored();
    EXPECT_EQ(stored.volumeName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(stored.volumePath, QStringLiteral("/media/ann/OFFSITE"));
    EXPECT_EQ(stored.volumeUUID, kUuid) << "the recorded identity must not change";
    EXPECT_TRUE(f.output.isEmpty());
}

TEST(BackupControllerStart, ADestinationFoundAsRecordedIsNotSavedAgain)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    const ino_t before = inodeOf(f.store().filePath());
    ASSERT_NE(before, ino_t(0));
    f.start();
    EXPECT_EQ(inodeOf(f.store().filePath()), before);
}

// --- Destination state ---------------------------------------------------------

TEST(BackupControllerVolumeStatus, ADestinationNotMountedShowsTheRecordedCapacityOnly)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000));
    BackupController &controller = f.start();
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    EXPECT_EQ(controller.volumeLabelCapacity(), capacityLabel(8'000'000'000));
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("Not connected"));
    EXPECT_EQ(controller.volumeUsage(), 0.0f);
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
}

TEST(BackupControllerVolumeStatus, AConnectedDestinationShowsItsIconUsageAndFreeSpace)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000));
    // The capacity shown is the recorded one, even when the table says otherwise.
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 9'000'000'000, 2'000'000'000));
    BackupController &controller = f.start();
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.75f);
    EXPECT_EQ(controller.volumeLabelCapacity(), capacityLabel(8'000'000'000));
    EXPECT_EQ(controller.volumeLabelAvailable(), availableLabel(2'000'000'000));
    EXPECT_EQ(iconName(controller.volumeIcon()), QStringLiteral("blue"));
}

TEST(BackupControllerVolumeStatus, UsageStaysWithinZeroAndOne)
{
    struct Case {
        quint64 recordedCapacity;
        std::int64_t available;
        float usage;
    };
    // Reformatted larger than recorded; no recorded capacity at all.
    for (const Case &c : {Case{1'000'000'000, 3'000'000'000, 0.0f}, Case{0, 500, 0.0f},
                          Case{1'000'000'000, 0, 1.0f}}) {
        ControllerFixture f;
        f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath, c.recordedCapacity));
        f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 4'000'000'000, c.available));
        BackupController &controller = f.start();
        EXPECT_EQ(controller.volumeUsage(), c.usage) << c.recordedCapacity << " " << c.available;
    }
}

TEST(BackupControllerVolumeStatus, AVolumeWithoutFreeSpaceOrIconIsConnectedAllTheSame)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    platform::MountedVolume stick = fakeStick(kUuid, QStringLiteral("STICK"), kPath);
    stick.availableBytes.reset();
    f.table.mount(stick);
    f.icons->volumeIconMissing = true;
    BackupController &controller = f.start();
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("Not connected"));
    EXPECT_EQ(controller.volumeUsage(), 0.0f);
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
}

TEST(BackupControllerVolumeStatus, NoDestinationKeepsTheUsageItHad)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath, 8'000'000'000, 2'000'000'000));
    BackupController &controller = f.start();
    ASSERT_FLOAT_EQ(controller.volumeUsage(), 0.75f);

    controller.clearVolume();
    // Removing leaves labels and icon as they were until the next refresh.
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotSpecified);
    EXPECT_EQ(controller.volumeLabelAvailable(), availableLabel(2'000'000'000));
    controller.updateVolumeStatus();
    EXPECT_EQ(controller.volumeLabelCapacity(), QStringLiteral("No volume selected"));
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("No volume selected"));
    EXPECT_EQ(controller.volumeIcon(), controller.missingVolumeIcon());
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.75f);
}

TEST(BackupControllerVolumeStatus, NotifiesOnlyWhatChanged)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();
    QSignalSpy status(&controller, &BackupController::volumeStatusChanged);
    QSignalSpy icon(&controller, &BackupController::volumeIconChanged);
    QSignalSpy script(&controller, &BackupController::scriptChanged);
    QSignalSpy available(&controller, &BackupController::volumeLabelAvailableChanged);
    const QString iconSource = controller.volumeIconSource();
    controller.updateVolumeStatus();
    EXPECT_EQ(status.size() + icon.size() + script.size() + available.size(), 0);
    EXPECT_EQ(controller.volumeIconSource(), iconSource);

    f.table.unmount(kPath);
    controller.updateVolumeStatus();
    EXPECT_EQ(status.size(), 1);
    EXPECT_EQ(icon.size(), 1);
    EXPECT_EQ(available.size(), 1);
    EXPECT_NE(controller.volumeIconSource(), iconSource) << "views would keep showing the old icon";
    EXPECT_EQ(controller.iconForId(controller.volumeIconSource().mid(16)), controller.missingVolumeIcon());
}

// --- Sources and their icons ---------------------------------------------------

TEST(BackupControllerSources, AddingMovesAPathToTheEndAndRemovingTakesEveryCopy)
{
    ControllerFixture f;
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/a"), QStringLiteral("/c")};
    f.storeSet(script);
    BackupController &controller = f.start();
    QSignalSpy changed(&controller, &BackupController::scriptChanged);

    controller.addSourcePath(QStringLiteral("/a"));
    EXPECT_EQ(controller.sourcePaths(), QStringList({QStringLiteral("/b"), QStringLiteral("/c"), QStringLiteral("/a")}));
    EXPECT_EQ(f.stored().sourcePaths, controller.sourcePaths());

    controller.addSourcePath(QStringLiteral("/d"));
    controller.addSourcePath(QStringLiteral("/b"));
    EXPECT_EQ(f.stored().sourcePaths, QStringList({QStringLiteral("/c"), QStringLiteral("/a"), QStringLiteral("/d"),
                                                    QStringLiteral("/b")}));

    controller.removeSourcePath(QStringLiteral("/a"));
    controller.removeSourcePath(QStringLiteral("/nowhere"));
    EXPECT_EQ(f.stored().sourcePaths, QStringList({QStringLiteral("/c"), QStringLiteral("/d"), QStringLiteral("/b")}));
    EXPECT_EQ(changed.size(), 4) << "a change that changed nothing was announced";
    EXPECT_EQ(f.stored().scriptUUID, controller.script().scriptUUID);

    // A drop of many items is one change, ordered as one add at a time would.
    changed.clear();
    QStringList drop;
    for (int i = 0; i < 2000; ++i) {
        drop.append(QStringLiteral("/drop/%1").arg(i));
    }
    drop.append({QStringLiteral("/c"), QStringLiteral("/drop/7")});
    controller.addSourcePaths(drop);
    EXPECT_EQ(changed.size(), 1);
    QStringList expected = {QStringLiteral("/d"), QStringLiteral("/b")};
    expected.append(drop.first(2000));
    expected.removeAll(QStringLiteral("/drop/7"));
    expected.append({QStringLiteral("/c"), QStringLiteral("/drop/7")});
    EXPECT_EQ(f.stored().sourcePaths, expected);
}

TEST(BackupControllerSources, IconsAreCachedButAMissingIconIsAskedForAgain)
{
    ControllerFixture f;
    f.icons->unknownFiles = {QStringLiteral("/gone")};
    BackupController &controller = f.start();

    EXPECT_EQ(iconName(controller.icon(QStringLiteral("/home/ann"))), QStringLiteral("green"));
    EXPECT_EQ(iconName(controller.icon(QStringLiteral("/home/ann"))), QStringLiteral("green"));
    EXPECT_EQ(f.icons->fileRequests[QStringLiteral("/home/ann")], 1);

    EXPECT_EQ(iconName(controller.icon(QStringLiteral("/gone"))), QStringLiteral("yellow"));
    f.icons->unknownFiles.clear();
    EXPECT_EQ(iconName(controller.icon(QStringLiteral("/gone"))), QStringLiteral("green"));
    EXPECT_EQ(f.icons->fileRequests[QStringLiteral("/gone")], 2);

    // The image URL of a path with blanks and a "#" leads back to its icon.
    const QString odd = QStringLiteral("/home/ann/My #1 file?.txt");
    const QString source = controller.iconSourceForPath(odd);
    ASSERT_TRUE(source.startsWith(QStringLiteral("image://vellory/")));
    EXPECT_FALSE(QUrl(source).hasFragment());
    EXPECT_FALSE(QUrl(source).hasQuery());
    // What an image provider is handed: the URL after "image://vellory/".
    const QString id = QUrl(source).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1);
    EXPECT_EQ(iconName(controller.iconForId(id)), QStringLiteral("green"));
    EXPECT_EQ(f.icons->fileRequests[odd], 1);
    EXPECT_TRUE(controller.iconForId(QStringLiteral("nothing/1")).isNull());
}

TEST(ThemeIconSource, AnItemThatDoesNotExistHasNoIcon)
{
    QTemporaryDir dir;
    ThemeIconSource icons;
    EXPECT_TRUE(icons.fileIcon(dir.filePath(QStringLiteral("missing.txt"))).isNull());
    EXPECT_TRUE(icons.fileIcon(QString()).isNull());
    // The missing volume: a faint disk under a half-opaque badge.
    const IconDescription missing = icons.missingVolumeIcon();
    EXPECT_DOUBLE_EQ(missing.opacity, 0.25);
    EXPECT_DOUBLE_EQ(missing.badgeOpacity, 0.5);
    EXPECT_FALSE(missing.names.isEmpty());
    EXPECT_FALSE(missing.badgeNames.isEmpty());
}

// --- Starting backups -----------------------------------------------------------

TEST(BackupControllerStartBackup, EachStartAddsAJobOnTopFlipsShowWindowAndStampsTheSet)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();
    QSignalSpy window(&controller, &BackupController::showWindowChanged);
    const bool shown = controller.showWindow();

    controller.startBackup();
    const std::shared_ptr<BackupThread> first = controller.threads()->jobAt(0);
    ASSERT_TRUE(first);
    // The job has the set from before the stamp.
    EXPECT_EQ(first->script().lastBackup, QStringLiteral("3/1/24, 9:00 AM"));
    const QString stamp = QLocale().toString(f.now, QLocale::ShortFormat);
    EXPECT_EQ(controller.lastBackup(), stamp);
    EXPECT_EQ(f.stored().lastBackup, stamp);
    EXPECT_EQ(controller.showWindow(), !shown);

    f.now = f.now.addSecs(3600);
    controller.startBackup();
    ASSERT_EQ(controller.threads()->count(), 2);
    const std::shared_ptr<BackupThread> second = controller.threads()->jobAt(0);
    EXPECT_NE(second->id(), first->id());
    EXPECT_EQ(controller.threads()->jobAt(1), first) << "the newer job must come first";
    EXPECT_EQ(second->script().lastBackup, stamp);
    EXPECT_EQ(window.size(), 2);
    EXPECT_EQ(controller.showWindow(), shown);
    EXPECT_EQ(f.stored().lastBackup, QLocale().toString(f.now, QLocale::ShortFormat));

    // The jobs were started (the controller sets scanning before they run),
    // and their failure without the volume does not undo the stamp.
    ASSERT_TRUE(waitUntil([&] { return !first->isRunning() && !second->isRunning()
                                       && first->status() == BackupThreadStatusValue::completed
                                       && second->status() == BackupThreadStatusValue::completed; }));
    EXPECT_GT(first->errorCount(), 0u);
    EXPECT_EQ(controller.lastBackup(), QLocale().toString(f.now, QLocale::ShortFormat));
}

TEST(BackupControllerStartBackup, TheJobShowsTheVolumeIcon)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();
    QSignalSpy started(&controller, &BackupController::backupStarted);
    controller.startBackup();
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.first().first().value<BackupThread *>(), controller.threads()->jobAt(0).get());
    EXPECT_EQ(controller.threads()->jobAt(0)->icon(), controller.volumeIcon());
    EXPECT_EQ(controller.threads()->jobAt(0)->progressTitle(), QStringLiteral("Backing up to \"STICK\""));
}

// --- Choosing and removing the destination -------------------------------------

TEST(BackupControllerSelectVolume, RefusalsLeaveTheSetAsItWasAndNameTheItem)
{
    ControllerFixture f;
    const BackupScript before = setWithDestination(kUuid, QStringLiteral("STICK"), kPath);
    f.storeSet(before);
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    platform::MountedVolume locked = fakeStick(QStringLiteral("AAAA-0001"), QStringLiteral("LOCKED"),
                                               QStringLiteral("/media/ann/LOCKED"));
    locked.writable = false;
    f.table.mount(locked);
    platform::MountedVolume nameless = fakeStick(QString(), QStringLiteral("NOID"), QStringLiteral("/media/ann/NOID"));
    f.table.mount(nameless);
    f.table.setUnreadable(QStringLiteral("/media/ann/SECRET"), QStringLiteral("Permission denied"));
    BackupController &controller = f.start();
    QSignalSpy refused(&controller, &BackupController::volumeRefused);
    QSignalSpy changed(&controller, &BackupController::scriptChanged);

    struct Case {
        QString path;
        QString itemName;
        QString message;
    };
    const QList<Case> cases = {
        {QStringLiteral("/home/ann/Documents"), QStringLiteral("Documents"),
         QStringLiteral("The item is not a volume. Please try again with a volume.")},
        {QStringLiteral("/media/ann/LOCKED"), QStringLiteral("LOCKED"),
         QStringLiteral("You don't have permission to write to the volume. Either unlock this volume or select a "
                        "different volume.")},
        {QStringLiteral("/media/ann/NOID"), QStringLiteral("NOID"),
         QStringLiteral("Unable to obtain the volume's identifier. Please select a different volume.")},
    };
    for (const Case &c : cases) {
        QString errorMessage;
        QString itemName = QStringLiteral("kept");
        EXPECT_FALSE(controller.validateVolume(QUrl::fromLocalFile(c.path), errorMessage, itemName));
        EXPECT_EQ(errorMessage, c.message);
        EXPECT_EQ(itemName, c.itemName);
        EXPECT_FALSE(controller.selectVolume(QUrl::fromLocalFile(c.path)));
        ASSERT_FALSE(refused.isEmpty());
        EXPECT_EQ(refused.last().at(0).toString(), c.itemName);
        EXPECT_EQ(refused.last().at(1).toString(), c.message);
    }
    // An item that cannot be looked at: the reason, and the name left alone.
    QString errorMessage;
    QString itemName = QStringLiteral("kept");
    EXPECT_FALSE(controller.validateVolume(QUrl::fromLocalFile(QStringLiteral("/media/ann/SECRET")), errorMessage,
                                           itemName));
    EXPECT_EQ(errorMessage, QStringLiteral("Permission denied"));
    EXPECT_EQ(itemName, QStringLiteral("kept"));

    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(controller.script(), f.stored());
    EXPECT_EQ(controller.volumeUUID(), kUuid);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
}

TEST(BackupControllerSelectVolume, AnotherVolumeReplacesTheDestinationAndKeepsTheLastBackup)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    platform::MountedVolume card = fakeStick(QStringLiteral("C0DE-CAFE"), QString(), QStringLiteral("/media/ann/sdcard"),
                                             32'000'000'000, 8'000'000'000);
    card.localizedName.clear(); // a name that cannot be read
    card.deviceModel = QStringLiteral("SD Reader");
    card.deviceProtocol = QStringLiteral("Secure Digital");
    f.table.mount(card);
    BackupController &controller = f.start();
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);

    ASSERT_TRUE(controller.selectVolume(QUrl::fromLocalFile(QStringLiteral("/media/ann/sdcard/"))));
    const BackupScript stored = f.stored();
    EXPECT_EQ(stored.volumeUUID, QStringLiteral("C0DE-CAFE"));
    EXPECT_EQ(stored.volumeName, QStringLiteral("Untitled"));
    EXPECT_EQ(stored.volumePath, QStringLiteral("/media/ann/sdcard"));
    EXPECT_EQ(stored.volumeCapacity, 32'000'000'000u);
    EXPECT_EQ(stored.volumeDescription, QStringLiteral("SD Reader, Secure Digital"));
    EXPECT_EQ(stored.lastBackup, QStringLiteral("3/1/24, 9:00 AM"));
    EXPECT_EQ(stored.sourcePaths, QStringList{QStringLiteral("/home/ann/Notes")});
    EXPECT_EQ(controller.script(), stored);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    EXPECT_EQ(controller.volumeLabelCapacity(), capacityLabel(32'000'000'000));
    EXPECT_EQ(controller.volumeLabelAvailable(), availableLabel(8'000'000'000));
    EXPECT_FLOAT_EQ(controller.volumeUsage(), 0.75f);
}

TEST(BackupControllerSelectVolume, TheSameVolumeAgainRefreshesWhatIsRecorded)
{
    ControllerFixture f;
    BackupScript old = setWithDestination(kUuid, QStringLiteral("STICK"), kPath, 1'000);
    old.volumeDescription = QStringLiteral(", ");
    f.storeSet(old);
    f.table.mount(fakeStick(kUuid, QStringLiteral("RENAMED"), kPath, 16'000'000'000, 1'000'000'000));
    BackupController &controller = f.start();
    ASSERT_TRUE(controller.selectVolume(QUrl::fromLocalFile(kPath)));
    const BackupScript stored = f.stored();
    EXPECT_EQ(stored.volumeUUID, kUuid);
    EXPECT_EQ(stored.volumeName, QStringLiteral("RENAMED"));
    EXPECT_EQ(stored.volumeCapacity, 16'000'000'000u);
    EXPECT_EQ(stored.volumeDescription, QStringLiteral("Cruzer Blade, USB"));
}

TEST(BackupControllerClearVolume, ForgetsTheDestinationButKeepsSourcesAndIdentity)
{
    ControllerFixture f;
    const BackupScript before = setWithDestination(kUuid, QStringLiteral("STICK"), kPath);
    f.storeSet(before);
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();
    controller.clearVolume();
    const BackupScript stored = f.stored();
    EXPECT_TRUE(stored.volumeUUID.isEmpty());
    EXPECT_TRUE(stored.volumeName.isEmpty());
    EXPECT_TRUE(stored.volumePath.isEmpty());
    EXPECT_TRUE(stored.volumeDescription.isEmpty());
    EXPECT_EQ(stored.volumeCapacity, 0u);
    EXPECT_EQ(stored.lastBackup, QStringLiteral("Never"));
    EXPECT_EQ(stored.sourcePaths, before.sourcePaths);
    EXPECT_EQ(stored.scriptUUID, before.scriptUUID);
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotSpecified);
}

// --- Eject ------------------------------------------------------------------------

TEST(BackupControllerEject, EjectsOnlyTheDestinationItself)
{
    ControllerFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kPath));
    BackupController &controller = f.start();

    // Not mounted, then another stick at its path: nothing is asked.
    QStringList answers;
    controller.ejectVolume([&](const QString &error) { answers.append(error); });
    f.table.mount(fakeStick(QStringLiteral("0000-1111"), QStringLiteral("STICK"), kPath));
    controller.ejectVolume([&](const QString &error) { answers.append(error); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers.at(0).isEmpty());
    EXPECT_FALSE(answers.at(1).isEmpty());
    EXPECT_TRUE(f.ejector.requests().isEmpty());

    f.table.unmount(kPath);
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kPath));
    ASSERT_EQ(controller.volumeStatus(), VolumeStatusValue::Connected);
    controller.ejectVolume();
    EXPECT_EQ(f.ejector.requests(), QStringList{kPath});
    // The unmount that follows turns the panel to not connected.
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotConnected);
    EXPECT_EQ(controller.volumeLabelAvailable(), QStringLiteral("Not connected"));
}

TEST(BackupControllerEject, WithoutADestinationNothingIsEjected)
{
    ControllerFixture f;
    f.table.mount(fakeStick(QString(), QStringLiteral("NOID"), QStringLiteral("/media/ann/NOID")));
    BackupController &controller = f.start();
    QString answer;
    controller.ejectVolume([&](const QString &error) { answer = error; });
    ASSERT_TRUE(waitUntil([&] { return !answer.isEmpty(); }));
    EXPECT_TRUE(f.ejector.requests().isEmpty());
}

namespace {

// vellory-cli writes the same store while the window runs.
TEST(BackupControllerStore, ChangesOfAnotherProgramArePickedUpAndNeverOverwritten)
{
    ControllerFixture fixture;
    fixture.storeSet(setWithDestination(QStringLiteral("U-1"), QStringLiteral("STICK"), QStringLiteral("/media/STICK")));
    BackupController &controller = fixture.start();
    QSignalSpy changed(&controller, &BackupController::scriptChanged);

    // The other program adds a source; our next change keeps it.
    BackupScript fromCli = fixture.stored();
    fromCli.sourcePaths.append(QStringLiteral("/home/ann/Music"));
    fixture.storeSet(fromCli);
    controller.addSourcePath(QStringLiteral("/home/ann/Photos"));
    EXPECT_EQ(fixture.stored().sourcePaths,
              (QStringList{QStringLiteral("/home/ann/Notes"), QStringLiteral("/home/ann/Music"),
                           QStringLiteral("/home/ann/Photos")}));
    EXPECT_EQ(controller.sourcePaths(), fixture.stored().sourcePaths);

    // The other program removes the destination; reading the store again
    // shows it at once.
    fromCli = fixture.stored();
    fromCli.clearVolume();
    fixture.storeSet(fromCli);
    changed.clear();
    controller.reloadScript();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_TRUE(controller.volumeUUID().isEmpty());
    EXPECT_EQ(controller.volumeStatus(), VolumeStatusValue::NotSpecified);
    EXPECT_EQ(fixture.stored(), controller.script());

    // Nothing new in the store: nothing changes.
    changed.clear();
    controller.reloadScript();
    EXPECT_EQ(changed.size(), 0);
}

TEST(BackupControllerStore, TheWatcherTellsOfAnotherProgramsWrite)
{
    ControllerFixture fixture;
    fixture.storeSet(BackupScript());
    BackupController &controller = fixture.start();
    ScriptStoreWatcher watcher(controller.store().filePath());
    QObject::connect(&watcher, &ScriptStoreWatcher::changed, &controller, &BackupController::reloadScript);

    for (const QString &path : {QStringLiteral("/first"), QStringLiteral("/second")}) {
        BackupScript fromCli = fixture.stored();
        fromCli.sourcePaths.append(path);
        fixture.storeSet(fromCli); // replaced whole, as every save does
        EXPECT_TRUE(waitUntil([&] { return controller.sourcePaths().contains(path); })) << path.toStdString();
    }
}

} // namespace
