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
    MountedVolume stick = fakeStick(QStringLiteral("2F1C-9A0B"), QStringLiteral("BACKUP"), stickPath);
    stick.totalBytes.reset(); // as for a share that does not tell its size
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
    EXPECT_EQ(accepted.volumePath(), stickPath);
    EXPECT_EQ(accepted.volumeCapacity(), 0);
    EXPECT_TRUE(accepted.errorMessage().isEmpty());

    // Only the volume at the path carries its UUID, in any case (another
    // stick at the path: BackupRunTest).
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stickPath, QStringLiteral("2F1C-9A0B")));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, stickPath, QStringLiteral("2f1c-9a0b")));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, QStringLiteral("/media/alice"), QStringLiteral("2F1C-9A0B")));

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
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, stickPath, QString())) << "an empty UUID matched a volume without one";
}
