#include "fakevolumes.h"

#include "volumes/fakevolumetable.h"
#include "volumes/volumevalidator.h"

#include <gtest/gtest.h>

using volumes::MountedVolume;
using volumes::VolumeValidation;
using volumes::VolumeValidator;

TEST(VolumeValidator, RefusesWithTheFirstFailingCheckAndKnowsAUsableVolumeByItsUuid)
{
    const QString stickPath = QStringLiteral("/media/alice/BACKUP");
    MountedVolume stick = fakeStick(QStringLiteral("2F1C-9A0B"), QStringLiteral("BACKUP"), stickPath, 32'000'000'000);
    volumes::FakeVolumeTable table;
    table.mount(stick);
    const VolumeValidator validator(table);
    const VolumeValidation folder = validator.validate(stickPath + QStringLiteral("/Photos/"));
    EXPECT_EQ(folder.errorMessage(), QStringLiteral("The item is not a volume. Please try again with a volume."));
    EXPECT_EQ(folder.itemName(), QStringLiteral("Photos"));

    table.setUnreadable(QStringLiteral("/media/alice/GONE"), QStringLiteral("No such file or directory"));
    const VolumeValidation gone = validator.validate(QStringLiteral("/media/alice/GONE"));
    EXPECT_EQ(gone.errorMessage(), QStringLiteral("No such file or directory"));
    EXPECT_FALSE(gone.hasItemName()) << "the caller's previous item name must be kept";

    const VolumeValidation remote = validator.validate(QUrl(QStringLiteral("https://example.com/x")));
    EXPECT_FALSE(remote.errorMessage().isEmpty());
    const VolumeValidation empty = validator.validate(QString());
    EXPECT_EQ(empty.itemName(), QStringLiteral("Unknown name"));

    const VolumeValidation accepted = validator.validate(QUrl::fromLocalFile(stickPath));
    ASSERT_TRUE(accepted.isAccepted()) << accepted.errorMessage().toStdString();
    EXPECT_EQ(accepted.volumeName(), QStringLiteral("BACKUP"));
    EXPECT_EQ(accepted.volumeUUID(), QStringLiteral("2F1C-9A0B"));
    EXPECT_EQ(accepted.volumePath(), stickPath);
    EXPECT_EQ(accepted.volumeCapacity(), 32'000'000'000);
    EXPECT_EQ(accepted.volumeDescription(), QStringLiteral("Cruzer Blade, USB"));
    EXPECT_TRUE(accepted.errorMessage().isEmpty());

    MountedVolume share = stick;
    share.mountPath = QStringLiteral("/mnt/nas");
    share.localizedName.clear();
    share.totalBytes.reset();
    share.isNetwork = true;
    share.deviceModel.clear();
    share.deviceProtocol = QStringLiteral("Network");
    table.mount(share);
    const VolumeValidation nas = validator.validate(share.mountPath);
    ASSERT_TRUE(nas.isAccepted());
    EXPECT_EQ(nas.volumeName(), QStringLiteral("Untitled"));
    EXPECT_EQ(nas.volumeCapacity(), 0);
    EXPECT_EQ(nas.volumeDescription(), QStringLiteral(", Network"));

    // Only the volume at the path carries its UUID, in any case; an empty one
    // never matches one without (another stick at the path: BackupRunTest).
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stickPath, QStringLiteral("2F1C-9A0B")));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stickPath, QStringLiteral("2f1c-9a0b")));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, stickPath, QString()));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, QStringLiteral("/media/alice"), QStringLiteral("2F1C-9A0B")));
    share.uuid.clear();
    table.mount(share);
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, share.mountPath, QString()));

    // Each row breaks one more property of the stick; the earliest check must answer.
    const std::pair<std::function<void(MountedVolume &)>, QString> rows[] = {
        {[](MountedVolume &v) { v.uuid.clear(); },
         QStringLiteral("Unable to obtain the volume's identifier. Please select a different volume.")},
        {[](MountedVolume &v) { v.writable = false; },
         QStringLiteral("You don't have permission to write to the volume. Either unlock this volume or select a "
                        "different volume.")},
        {[](MountedVolume &v) { v.readable = false; },
         QStringLiteral("You don't have permission to read from the volume. Please select a different volume.")},
        {[](MountedVolume &v) { v.browsable = false; },
         QStringLiteral("The volume is not browsable, it can't be seen from the file manager. Please select a different volume.")},
    };
    for (const auto &[breakIt, expected] : rows) {
        breakIt(stick);
        table.mount(stick);
        const VolumeValidation validation = validator.validate(stickPath);
        EXPECT_EQ(validation.errorMessage(), expected);
        EXPECT_EQ(validation.itemName(), QStringLiteral("BACKUP"));
    }
}
