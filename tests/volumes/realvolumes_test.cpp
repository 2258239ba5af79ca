// The volume table, validation and eject on real file systems on loop
// devices (the monitor: storageservice_test). Needs root; skipped with the
// reason otherwise.
#include "loopvolume.h"
#include "systemcommands.h"

#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"
#include "volumes/volumeejector.h"
#include "volumes/volumevalidator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using volumes::MountedVolume;

namespace {

constexpr int eventTimeoutMs = 10000;
constexpr int sizeMiB = 16;

// What the table tells the user "nobody", who may not open the raw device,
// about the volume at `path`, as bits: 1 its label is `label`, 2 readable,
// 4 writable; 8 no volume there, -1 the child failed.
int asNobody(const QString &path, const QString &label)
{
    const pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0
            || setresuid(nobody, nobody, nobody) != 0) {
            _exit(255);
        }
        const auto volume = volumes::LinuxVolumeTable().volumeAt(path);
        _exit(!volume ? 8 : (volume->label == label ? 1 : 0) | (volume->readable ? 2 : 0) | (volume->writable ? 4 : 0));
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) != 255
               ? WEXITSTATUS(status)
               : -1;
}

} // namespace

// One ext4 and one exFAT volume through the table, the validator and the
// eject, then a twin and a nameless ext4 at the same place, and a FUSE FAT.
TEST(RealVolumes, TableValidatorAndEjectKnowVolumesTheirRightsAndTheirIdentity)
{
    const volumes::LinuxVolumeTable table;
    const volumes::VolumeValidator validator(table);
    LoopVolume ext4(LoopVolume::Kind::Ext4, QStringLiteral("EXT STICK"), sizeMiB);
    SKIP_WITHOUT(ext4);
    LoopVolume exfat(LoopVolume::Kind::ExFat, QStringLiteral("CAMERA"), sizeMiB);
    SKIP_WITHOUT(exfat);
    // A mount path with a blank reaches the table escaped.
    const QString place = QFileInfo(ext4.mountPath()).path();
    const QString root = place + QStringLiteral("/my stick");
    ASSERT_TRUE(ext4.unmount());
    ASSERT_TRUE(ext4.mount(root));

    const std::tuple<LoopVolume *, QString, QString> rows[] = {
        {&ext4, QStringLiteral("EXT STICK"), QStringLiteral("ext4")},
        {&exfat, QStringLiteral("CAMERA"), QStringLiteral("fuseblk")}};
    for (const auto &[loop, label, type] : rows) {
        const QString path = loop->mountPath();
        SCOPED_TRACE(path.toStdString());
        const QList<MountedVolume> all = table.volumes();
        const auto listed = std::find_if(all.begin(), all.end(), [&](const auto &v) { return v.mountPath == path; });
        ASSERT_NE(listed, all.end()) << "not in the table";
        const MountedVolume volume = *listed;
        EXPECT_FALSE(volume.uuid.isEmpty());
        EXPECT_EQ(volume.uuid, blkidValue(loop->device(), QStringLiteral("UUID")));
        EXPECT_EQ(volume.label, label);
        EXPECT_EQ(volume.localizedName, label);
        EXPECT_EQ(volume.device, loop->device());
        EXPECT_EQ(volume.fileSystemType, type);
        ASSERT_TRUE(volume.totalBytes && volume.availableBytes);
        EXPECT_GT(*volume.totalBytes, 8LL * 1024 * 1024);
        EXPECT_LE(*volume.totalBytes, qint64(sizeMiB) * 1024 * 1024);
        EXPECT_LE(*volume.availableBytes, *volume.totalBytes);
        EXPECT_TRUE(volume.readable && volume.writable && volume.browsable && !volume.isNetwork);
        EXPECT_EQ(volume.description(), QStringLiteral("volume.img, Virtual"));

        // The available space is read afresh.
        QFile fill(path + QStringLiteral("/fill.bin"));
        ASSERT_TRUE(fill.open(QIODevice::WriteOnly) && fill.write(QByteArray(4 << 20, 'v')) == 4 << 20);
        ASSERT_TRUE(fill.flush() && ::fsync(fill.handle()) == 0);
        const auto fuller = table.volumeAt(path);
        ASSERT_TRUE(fuller.has_value());
        EXPECT_LE(*fuller->availableBytes, *volume.availableBytes - 3 * 1024 * 1024);
        EXPECT_EQ(fuller->uuid, volume.uuid);

        const auto accepted = validator.validate(path);
        ASSERT_TRUE(accepted.isAccepted()) << accepted.errorMessage().toStdString();
        EXPECT_EQ(accepted.volumeUUID(), volume.uuid);
        EXPECT_TRUE(volumes::volumeCarriesUuid(table, path, volume.uuid));
    }
    const QString uuid = blkidValue(ext4.device(), QStringLiteral("UUID"));

    // Only a mount root is a volume; a link to one leads to it.
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("Photos")));
    EXPECT_FALSE(table.volumeAt(root + QStringLiteral("/Photos")).has_value());
    // What cannot be read is refused with the reason, naming no item.
    const auto missing = validator.validate(root + QStringLiteral("/nothing"));
    EXPECT_FALSE(missing.errorMessage().isEmpty());
    EXPECT_FALSE(missing.hasItemName());
    ASSERT_TRUE(QFile::link(root, place + QStringLiteral("/link")));
    const auto throughLink = table.volumeAt(place + QStringLiteral("/link"));
    ASSERT_TRUE(throughLink.has_value());
    EXPECT_EQ(throughLink->mountPath, root);

    // An ordinary user sees the label from the kernel although the device
    // cannot be read, and only that user's rights (the root is root's).
    ASSERT_TRUE(QFile::setPermissions(place, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ReadOther | QFileDevice::ExeOther));
    EXPECT_EQ(asNobody(root, QStringLiteral("EXT STICK")), 1 | 2) << "label 1, readable 2, writable 4";

    // A device write-protected under a read-write mount (a locked card), and a read-only mount.
    ASSERT_TRUE(runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setro"), exfat.device()}));
    const auto protectedCard = table.volumeAt(exfat.mountPath());
    runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setrw"), exfat.device()});
    ASSERT_TRUE(protectedCard.has_value());
    EXPECT_FALSE(protectedCard->writable) << "sysfs ro of the device was not taken into account";
    EXPECT_TRUE(protectedCard->readable);
    ASSERT_TRUE(ext4.unmount());
    ASSERT_TRUE(ext4.mount(root, /*readOnly=*/true));
    const auto locked = table.volumeAt(root);
    ASSERT_TRUE(locked.has_value());
    EXPECT_TRUE(locked->readable);
    EXPECT_FALSE(locked->writable);

    // Eject unmounts a volume, but neither a folder nor a busy volume.
    EXPECT_FALSE(volumes::unmountAndEject(root + QStringLiteral("/Photos")).isEmpty());
    EXPECT_FALSE(volumes::unmountAndEject(place).isEmpty()) << "the folder holding the mount";
    EXPECT_TRUE(platform::isMountPoint(root)) << "a folder's eject unmounted the volume";
    {
        QFile open(root + QStringLiteral("/fill.bin"));
        ASSERT_TRUE(open.open(QIODevice::ReadOnly));
        EXPECT_FALSE(volumes::unmountAndEject(root).isEmpty()) << "a busy volume was unmounted";
        EXPECT_TRUE(platform::isMountPoint(root));
    }
    EXPECT_EQ(volumes::unmountAndEject(root), QString());
    EXPECT_FALSE(platform::isMountPoint(root));

    // The system ejector answers on the main thread, posted there: not before
    // the event loop runs.
    volumes::SystemVolumeEjector ejector;
    std::optional<QString> answer;
    bool onMainThread = false;
    ejector.eject(exfat.mountPath(), [&](const QString &error) {
        answer = error;
        onMainThread = QThread::currentThread() == qApp->thread();
    });
    EXPECT_FALSE(answer.has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, eventTimeoutMs)) << "no answer";
    EXPECT_EQ(*answer, QString());
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(platform::isMountPoint(exfat.mountPath()));
    answer.reset();
    ejector.eject(exfat.mountPath(), [&](const QString &error) { answer = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, eventTimeoutMs));
    EXPECT_FALSE(answer->isEmpty()) << "a second eject of a gone volume reported success";

    // Another stick with the same label at the same path is not the destination.
    LoopVolume twin(LoopVolume::Kind::Ext4, QStringLiteral("EXT STICK"), sizeMiB);
    SKIP_WITHOUT(twin);
    ASSERT_TRUE(twin.unmount());
    ASSERT_TRUE(twin.mount(root));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, root, uuid));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, root, blkidValue(twin.device(), QStringLiteral("UUID"))));
    ASSERT_TRUE(twin.unmount());
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, root, uuid)) << "a bare folder matched";

    // An ext4 volume whose UUID was cleared has no identifier.
    ASSERT_TRUE(runCommand(QStringLiteral("e2fsck"), {QStringLiteral("-fy"), twin.device()}));
    ASSERT_TRUE(runCommand(QStringLiteral("tune2fs"), {QStringLiteral("-U"), QStringLiteral("clear"), twin.device()}));
    ASSERT_TRUE(twin.mount(root));
    EXPECT_EQ(validator.validate(root).errorMessage(),
              QStringLiteral("Unable to obtain the volume's identifier. Please select a different volume."));

    // An ext3 volume mounted by the ext4 driver: the kernel names it ext4,
    // libblkid ext3; its identity is read all the same.
    ASSERT_TRUE(twin.unmount());
    ASSERT_TRUE(runCommand(QStringLiteral("mkfs.ext3"),
                           {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"), QStringLiteral("OLD STICK"), twin.device()}));
    ASSERT_TRUE(twin.mount(root));
    const auto ext3 = table.volumeAt(root);
    ASSERT_TRUE(ext3.has_value());
    EXPECT_EQ(ext3->fileSystemType, QStringLiteral("ext4"));
    EXPECT_EQ(ext3->label, QStringLiteral("OLD STICK"));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, root, blkidValue(twin.device(), QStringLiteral("UUID"))));

    // FUSE FAT names no device as its source: not a volume a file manager shows.
    LoopVolume fat(LoopVolume::Kind::Fat, QStringLiteral("FUSEFAT"), sizeMiB);
    SKIP_WITHOUT(fat);
    EXPECT_EQ(validator.validate(fat.mountPath()).errorMessage(),
              QStringLiteral("The volume is not browsable, it can't be seen from the file manager. "
                             "Please select a different volume."));
}
