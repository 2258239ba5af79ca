#include "platform/fakevolumemonitor.h"
#include "platform/fakevolumetable.h"
#include "platform/volumeejector.h"
#include "volumes/volumevalidator.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using platform::MountedVolume;
using volumes::VolumeValidation;
using volumes::VolumeValidator;

namespace {

const QString notAVolume = QStringLiteral("The item is not a volume. Please try again with a volume.");
const QString notBrowsable = QStringLiteral(
    "The volume is not browsable, it can't be seen from the Finder. Please select a different volume.");
const QString notReadable = QStringLiteral(
    "You don't have permission to read from the volume. Please select a different volume.");
const QString notWritable = QStringLiteral(
    "You don't have permission to write to the volume. Either unlock this volume or select a different volume.");
const QString noIdentifier = QStringLiteral(
    "Unable to obtain the volume's identifier. Please select a different volume.");

MountedVolume usableStick()
{
    MountedVolume v;
    v.mountId = 40;
    v.uuid = QStringLiteral("2F1C-9A0B");
    v.label = QStringLiteral("BACKUP");
    v.localizedName = QStringLiteral("BACKUP");
    v.mountPath = QStringLiteral("/media/alice/BACKUP");
    v.device = QStringLiteral("/dev/sdb1");
    v.fileSystemType = QStringLiteral("exfat");
    v.totalBytes = 32'000'000'000;
    v.availableBytes = 30'000'000'000;
    v.readable = true;
    v.writable = true;
    v.browsable = true;
    v.deviceModel = QStringLiteral("SanDisk Cruzer Blade");
    v.deviceProtocol = QStringLiteral("USB");
    return v;
}

} // namespace

TEST(VolumeValidator, RefusesWithTheFirstFailingCheckInOrder)
{
    // Each row breaks one more property; the earliest check must answer.
    struct Row {
        const char *what;
        std::function<void(MountedVolume &)> breakIt;
        QString expected;
    };
    const std::vector<Row> rows = {
        {"no identifier", [](MountedVolume &v) { v.uuid.clear(); }, noIdentifier},
        {"not writable", [](MountedVolume &v) { v.writable = false; }, notWritable},
        {"not readable", [](MountedVolume &v) { v.readable = false; }, notReadable},
        {"not browsable", [](MountedVolume &v) { v.browsable = false; }, notBrowsable},
    };
    MountedVolume volume = usableStick();
    for (const Row &row : rows) {
        row.breakIt(volume);
        platform::FakeVolumeTable table;
        table.mount(volume);
        const VolumeValidation validation = VolumeValidator(table).validate(volume.mountPath);
        EXPECT_FALSE(validation.isAccepted()) << row.what;
        EXPECT_EQ(validation.errorMessage(), row.expected) << row.what;
        EXPECT_EQ(validation.itemName(), QStringLiteral("BACKUP")) << row.what;
    }
}

TEST(VolumeValidator, AFolderIsNotAVolumeAndAnUnreadableItemHasNoName)
{
    platform::FakeVolumeTable table;
    table.mount(usableStick());

    const VolumeValidation folder = VolumeValidator(table).validate(QStringLiteral("/media/alice/BACKUP/Photos/"));
    EXPECT_FALSE(folder.isAccepted());
    EXPECT_EQ(folder.errorMessage(), notAVolume);
    EXPECT_EQ(folder.itemName(), QStringLiteral("Photos"));

    table.setUnreadable(QStringLiteral("/media/alice/GONE"), QStringLiteral("No such file or directory"));
    const VolumeValidation gone = VolumeValidator(table).validate(QStringLiteral("/media/alice/GONE"));
    EXPECT_FALSE(gone.isAccepted());
    EXPECT_EQ(gone.errorMessage(), QStringLiteral("No such file or directory"));
    EXPECT_FALSE(gone.hasItemName()) << "the caller's previous item name must be kept";

    const VolumeValidation remote = VolumeValidator(table).validate(QUrl(QStringLiteral("https://example.com/x")));
    EXPECT_FALSE(remote.isAccepted());
    EXPECT_FALSE(remote.errorMessage().isEmpty());

    const VolumeValidation empty = VolumeValidator(table).validate(QString());
    EXPECT_FALSE(empty.isAccepted());
    EXPECT_EQ(empty.itemName(), QStringLiteral("Unknown name"));
}

TEST(VolumeValidator, AcceptsAUsableVolumeWithWhatTheSetRecords)
{
    platform::FakeVolumeTable table;
    table.mount(usableStick());
    const VolumeValidation accepted =
        VolumeValidator(table).validate(QUrl::fromLocalFile(QStringLiteral("/media/alice/BACKUP")));
    ASSERT_TRUE(accepted.isAccepted()) << accepted.errorMessage().toStdString();
    EXPECT_EQ(accepted.volumeName(), QStringLiteral("BACKUP"));
    EXPECT_EQ(accepted.volumeUUID(), QStringLiteral("2F1C-9A0B"));
    EXPECT_EQ(accepted.volumePath(), QStringLiteral("/media/alice/BACKUP"));
    EXPECT_EQ(accepted.volumeCapacity(), 32'000'000'000);
    EXPECT_EQ(accepted.volumeDescription(), QStringLiteral("SanDisk Cruzer Blade, USB"));
    EXPECT_TRUE(accepted.errorMessage().isEmpty());
}

TEST(VolumeValidator, FillsInWhatAVolumeDoesNotTell)
{
    MountedVolume share = usableStick();
    share.mountPath = QStringLiteral("/mnt/nas");
    share.localizedName.clear();
    share.label.clear();
    share.totalBytes.reset();
    share.isNetwork = true;
    share.deviceModel.clear();
    share.deviceProtocol = QStringLiteral("Network");
    platform::FakeVolumeTable table;
    table.mount(share);
    const VolumeValidation accepted = VolumeValidator(table).validate(QStringLiteral("/mnt/nas"));
    ASSERT_TRUE(accepted.isAccepted());
    EXPECT_EQ(accepted.volumeName(), QStringLiteral("Untitled"));
    EXPECT_EQ(accepted.volumeCapacity(), 0);
    EXPECT_EQ(accepted.volumeDescription(), QStringLiteral(", Network"));

    MountedVolume unknown = usableStick();
    unknown.deviceModel.clear();
    unknown.deviceProtocol.clear();
    EXPECT_EQ(unknown.description(), QStringLiteral(", "));
}

TEST(VolumeCarriesUuid, OnlyTheNamedVolumeAtThePathCounts)
{
    platform::FakeVolumeTable table;
    const MountedVolume stick = usableStick();
    table.mount(stick);
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stick.mountPath, QStringLiteral("2F1C-9A0B")));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stick.mountPath, QStringLiteral("2f1c-9a0b")));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, stick.mountPath, QString()));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, QStringLiteral("/media/alice"), QStringLiteral("2F1C-9A0B")));

    // Another stick with the same label, mounted at the same path.
    MountedVolume impostor = stick;
    impostor.mountId = 41;
    impostor.uuid = QStringLiteral("7777-0000");
    table.mount(impostor);
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, stick.mountPath, QStringLiteral("2F1C-9A0B")));

    // A volume without UUID never matches a set without destination.
    impostor.uuid.clear();
    table.mount(impostor);
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, stick.mountPath, QString()));
}

TEST(FakeVolumeMonitor, ChangesTheTableBeforeAnnouncing)
{
    platform::FakeVolumeTable table;
    platform::FakeVolumeMonitor monitor(table);
    bool seenInTable = false;
    QObject::connect(&monitor, &platform::VolumeMonitor::volumeMounted, [&](const MountedVolume &v) {
        seenInTable = table.volumeAt(v.mountPath).has_value();
    });
    QSignalSpy renamed(&monitor, &platform::VolumeMonitor::volumeRenamed);
    QSignalSpy unmounted(&monitor, &platform::VolumeMonitor::volumeUnmounted);

    monitor.mount(usableStick());
    EXPECT_TRUE(seenInTable);
    ASSERT_TRUE(monitor.relabel(QStringLiteral("/media/alice/BACKUP"), QStringLiteral("OFFSITE")));
    ASSERT_EQ(renamed.size(), 1);
    EXPECT_EQ(renamed[0][0].value<MountedVolume>().localizedName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(renamed[0][1].toString(), QStringLiteral("BACKUP"));
    EXPECT_EQ(table.volumeAt(QStringLiteral("/media/alice/BACKUP"))->localizedName, QStringLiteral("OFFSITE"));

    ASSERT_TRUE(monitor.unmount(QStringLiteral("/media/alice/BACKUP")));
    ASSERT_EQ(unmounted.size(), 1);
    EXPECT_EQ(unmounted[0][0].value<MountedVolume>().uuid, QStringLiteral("2F1C-9A0B"));
    EXPECT_FALSE(table.volumeAt(QStringLiteral("/media/alice/BACKUP")).has_value());
    EXPECT_FALSE(monitor.unmount(QStringLiteral("/media/alice/BACKUP")));
    EXPECT_EQ(unmounted.size(), 1);
}

TEST(FakeVolumeEjector, UnmountsThroughTheMonitorOnlyWhenTheEjectSucceeds)
{
    platform::FakeVolumeTable table;
    platform::FakeVolumeMonitor monitor(table);
    platform::FakeVolumeEjector ejector(&monitor);
    QSignalSpy unmounted(&monitor, &platform::VolumeMonitor::volumeUnmounted);
    table.mount(usableStick());

    QString answer = QStringLiteral("not called");
    ejector.setAnswer(QStringLiteral("Device or resource busy"));
    ejector.eject(QStringLiteral("/media/alice/BACKUP"), [&](const QString &error) { answer = error; });
    EXPECT_EQ(answer, QStringLiteral("Device or resource busy"));
    EXPECT_EQ(unmounted.size(), 0);
    EXPECT_TRUE(table.volumeAt(QStringLiteral("/media/alice/BACKUP")).has_value());

    ejector.setAnswer(QString());
    ejector.eject(QStringLiteral("/media/alice/BACKUP"), [&](const QString &error) { answer = error; });
    EXPECT_TRUE(answer.isEmpty());
    EXPECT_EQ(unmounted.size(), 1);
    EXPECT_EQ(ejector.requests(), QStringList(2, QStringLiteral("/media/alice/BACKUP")));
}
