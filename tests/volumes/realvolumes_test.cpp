// The volume table, validation, monitor and eject on real file systems on
// loop devices. Needs root; skipped with the reason otherwise.
#include "hangingshare.h"
#include "loopvolume.h"
#include "systemcommands.h"

#include "volumes/linuxvolumemonitor.h"
#include "volumes/linuxvolumetable.h"
#include "platform/mountpoint.h"
#include "volumes/volumeeject.h"
#include "volumes/volumeejector.h"
#include "volumes/volumevalidator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>

#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using volumes::MountedVolume;

namespace {

constexpr int eventTimeoutMs = 10000;
constexpr int sizeMiB = 16;

#define REQUIRE_MOUNTED(volume)                                         \
    if (!(volume).isMounted()) {                                        \
        GTEST_SKIP() << (volume).skipReason().toStdString();            \
    }

std::optional<MountedVolume> listed(const QString &mountPath)
{
    for (const MountedVolume &volume : volumes::LinuxVolumeTable().volumes()) {
        if (volume.mountPath == mountPath) {
            return volume;
        }
    }
    return std::nullopt;
}

bool writeFile(const QString &path, qint64 bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'v')) == bytes && file.flush()
           && ::fsync(file.handle()) == 0;
}

// Runs the event loop until the ejector's answer arrives (or the timeout).
void waitForAnswer(const std::optional<QString> &answer)
{
    for (int waited = 0; !answer && waited < eventTimeoutMs; waited += 20) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

// Waits for the first event of `spy` about `mountPath` (other tests may be
// mounting volumes at the same time); its arguments, or none after the timeout.
QList<QVariant> waitForEventAt(QSignalSpy &spy, const QString &mountPath)
{
    qsizetype seen = 0;
    for (int waited = 0; waited < eventTimeoutMs; waited += 50) {
        for (; seen < spy.size(); ++seen) {
            if (spy.at(seen).value(0).value<MountedVolume>().mountPath == mountPath) {
                return spy.at(seen);
            }
        }
        spy.wait(50);
    }
    return {};
}

} // namespace

TEST(LinuxVolumeTable, ReportsIdentitySizesAndPermissionsOfRealVolumes)
{
    LoopVolume ext4(LoopVolume::Kind::Ext4, QStringLiteral("EXT STICK"), sizeMiB);
    REQUIRE_MOUNTED(ext4);
    LoopVolume exfat(LoopVolume::Kind::ExFat, QStringLiteral("CAMERA"), sizeMiB);
    REQUIRE_MOUNTED(exfat);
    // A mount path with a blank reaches the table escaped.
    const QString blankPath = QFileInfo(ext4.imagePath()).path() + QStringLiteral("/my stick");
    ASSERT_TRUE(ext4.unmount());
    ASSERT_TRUE(ext4.mount(blankPath));

    struct Expected {
        LoopVolume *volume;
        QString label;
        QString type;
    };
    for (const Expected &expected : {Expected{&ext4, QStringLiteral("EXT STICK"), QStringLiteral("ext4")},
                                     Expected{&exfat, QStringLiteral("CAMERA"), QStringLiteral("fuseblk")}}) {
        const QString path = expected.volume->mountPath();
        SCOPED_TRACE(path.toStdString());
        const auto volume = listed(path);
        ASSERT_TRUE(volume.has_value()) << "not in the table";
        EXPECT_FALSE(volume->uuid.isEmpty());
        EXPECT_EQ(volume->uuid, blkidValue(expected.volume->device(), QStringLiteral("UUID")));
        EXPECT_EQ(volume->label, expected.label);
        EXPECT_EQ(volume->localizedName, expected.label);
        EXPECT_EQ(volume->device, expected.volume->device());
        EXPECT_EQ(volume->fileSystemType, expected.type);
        ASSERT_TRUE(volume->totalBytes && volume->availableBytes);
        EXPECT_GT(*volume->totalBytes, 8LL * 1024 * 1024);
        EXPECT_LE(*volume->totalBytes, qint64(sizeMiB) * 1024 * 1024);
        EXPECT_LE(*volume->availableBytes, *volume->totalBytes);
        EXPECT_TRUE(volume->readable && volume->writable && volume->browsable && !volume->isNetwork);
        EXPECT_EQ(volume->description(), QStringLiteral("volume.img, Virtual"));

        // The available space is read afresh.
        ASSERT_TRUE(writeFile(path + QStringLiteral("/fill.bin"), 4 * 1024 * 1024));
        const auto fuller = volumes::LinuxVolumeTable().volumeAt(path);
        ASSERT_TRUE(fuller.has_value());
        EXPECT_LE(*fuller->availableBytes, *volume->availableBytes - 3 * 1024 * 1024);
        EXPECT_EQ(fuller->uuid, volume->uuid);
    }

    // Only a mount root is a volume; a link to one leads to it.
    ASSERT_TRUE(QDir(blankPath).mkdir(QStringLiteral("folder")));
    EXPECT_FALSE(volumes::LinuxVolumeTable().volumeAt(blankPath + QStringLiteral("/folder")).has_value());
    const QString link = QFileInfo(ext4.imagePath()).path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(blankPath, link));
    const auto throughLink = volumes::LinuxVolumeTable().volumeAt(link);
    ASSERT_TRUE(throughLink.has_value());
    EXPECT_EQ(throughLink->mountPath, blankPath);
}

TEST(LinuxVolumeTable, ReadOnlyMountsAndWriteProtectedDevicesAreNotWritable)
{
    LoopVolume readOnly(LoopVolume::Kind::Ext4, QStringLiteral("LOCKED"), sizeMiB, /*readOnly=*/true);
    REQUIRE_MOUNTED(readOnly);
    const auto locked = volumes::LinuxVolumeTable().volumeAt(readOnly.mountPath());
    ASSERT_TRUE(locked.has_value());
    EXPECT_TRUE(locked->readable);
    EXPECT_FALSE(locked->writable);

    const volumes::LinuxVolumeTable table;
    const auto refused = volumes::VolumeValidator(table).validate(readOnly.mountPath());
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(refused.errorMessage(), QStringLiteral("You don't have permission to write to the volume. Either "
                                                     "unlock this volume or select a different volume."));

    // A device write-protected under a read-write mount (a locked card).
    LoopVolume card(LoopVolume::Kind::ExFat, QStringLiteral("CARD"), sizeMiB);
    REQUIRE_MOUNTED(card);
    ASSERT_TRUE(table.volumeAt(card.mountPath())->writable);
    ASSERT_TRUE(runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setro"), card.device()}));
    const auto protectedCard = table.volumeAt(card.mountPath());
    runCommand(QStringLiteral("blockdev"), {QStringLiteral("--setrw"), card.device()});
    ASSERT_TRUE(protectedCard.has_value());
    EXPECT_FALSE(protectedCard->writable) << "sysfs ro of the device was not taken into account";
    EXPECT_TRUE(protectedCard->readable);
}

TEST(LinuxVolumeTable, AnOrdinaryUserSeesTheLabelAndOnlyTheRightsOfThatUser)
{
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), sizeMiB);
    REQUIRE_MOUNTED(stick);
    // Let other users reach the mount point; its root stays writable by root only.
    ASSERT_TRUE(QFile::setPermissions(QFileInfo(stick.imagePath()).path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::ExeOther));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As "nobody", who may not open the raw device.
        close(pipeFds[0]);
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0
            || setresuid(nobody, nobody, nobody) != 0) {
            _exit(2);
        }
        const auto volume = volumes::LinuxVolumeTable().volumeAt(stick.mountPath());
        const QByteArray line = !volume ? QByteArray("none")
                                        : (volume->label + QLatin1Char('|') + QString::number(volume->readable)
                                           + QLatin1Char('|') + QString::number(volume->writable))
                                              .toUtf8();
        const bool written = write(pipeFds[1], line.constData(), size_t(line.size())) == line.size();
        _exit(written ? 0 : 3);
    }
    close(pipeFds[1]);
    char buffer[256];
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    const QByteArray answer(buffer, n > 0 ? n : 0);
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    // Label from the kernel although the device cannot be read; readable, not writable.
    EXPECT_EQ(answer, QByteArray("STICK|1|0"));
}

TEST(VolumeValidatorOnRealVolumes, RefusesFoldersHiddenAndNamelessVolumesAndAcceptsSticks)
{
    const volumes::LinuxVolumeTable table;
    const volumes::VolumeValidator validator(table);

    LoopVolume ext4(LoopVolume::Kind::Ext4, QStringLiteral("BACKUP"), sizeMiB);
    REQUIRE_MOUNTED(ext4);
    LoopVolume exfat(LoopVolume::Kind::ExFat, QStringLiteral("EXBACKUP"), sizeMiB);
    REQUIRE_MOUNTED(exfat);

    ASSERT_TRUE(QDir(ext4.mountPath()).mkdir(QStringLiteral("Photos")));
    const auto folder = validator.validate(ext4.mountPath() + QStringLiteral("/Photos"));
    EXPECT_FALSE(folder.isAccepted());
    EXPECT_EQ(folder.errorMessage(), QStringLiteral("The item is not a volume. Please try again with a volume."));
    EXPECT_EQ(folder.itemName(), QStringLiteral("Photos"));

    const auto missing = validator.validate(ext4.mountPath() + QStringLiteral("/nothing"));
    EXPECT_FALSE(missing.isAccepted());
    EXPECT_FALSE(missing.errorMessage().isEmpty());
    EXPECT_FALSE(missing.hasItemName());

    for (LoopVolume *volume : {&ext4, &exfat}) {
        const auto accepted = validator.validate(volume->mountPath());
        ASSERT_TRUE(accepted.isAccepted()) << accepted.errorMessage().toStdString();
        EXPECT_EQ(accepted.volumeUUID(), blkidValue(volume->device(), QStringLiteral("UUID")));
        EXPECT_EQ(accepted.volumeName(), volume == &ext4 ? QStringLiteral("BACKUP") : QStringLiteral("EXBACKUP"));
        EXPECT_EQ(accepted.volumePath(), volume->mountPath());
        EXPECT_GT(accepted.volumeCapacity(), 0);
        EXPECT_EQ(accepted.volumeDescription(), QStringLiteral("volume.img, Virtual"));
        EXPECT_TRUE(volumes::volumeCarriesUuid(table, volume->mountPath(), accepted.volumeUUID()));
    }

    // FUSE FAT names no device as its source: not a volume a file manager shows.
    LoopVolume fat(LoopVolume::Kind::Fat, QStringLiteral("FUSEFAT"), sizeMiB);
    REQUIRE_MOUNTED(fat);
    const auto hidden = validator.validate(fat.mountPath());
    EXPECT_EQ(hidden.errorMessage(), QStringLiteral("The volume is not browsable, it can't be seen from the Finder. "
                                                    "Please select a different volume."));

    // An ext4 volume whose UUID was cleared has no identifier.
    LoopVolume nameless(LoopVolume::Kind::Ext4, QStringLiteral("NOUUID"), sizeMiB);
    REQUIRE_MOUNTED(nameless);
    ASSERT_TRUE(nameless.unmount());
    ASSERT_TRUE(runCommand(QStringLiteral("e2fsck"), {QStringLiteral("-fy"), nameless.device()}));
    ASSERT_TRUE(runCommand(QStringLiteral("tune2fs"), {QStringLiteral("-U"), QStringLiteral("clear"), nameless.device()}));
    ASSERT_TRUE(nameless.mount());
    const auto noUuid = validator.validate(nameless.mountPath());
    EXPECT_EQ(noUuid.errorMessage(),
              QStringLiteral("Unable to obtain the volume's identifier. Please select a different volume."));
    EXPECT_EQ(noUuid.itemName(), QStringLiteral("mnt"));

    // Another stick with the same label at the same path is not the destination.
    const QString uuid = blkidValue(ext4.device(), QStringLiteral("UUID"));
    const QString path = ext4.mountPath();
    ASSERT_TRUE(ext4.unmount());
    LoopVolume twin(LoopVolume::Kind::Ext4, QStringLiteral("BACKUP"), sizeMiB);
    REQUIRE_MOUNTED(twin);
    ASSERT_TRUE(twin.unmount());
    ASSERT_TRUE(twin.mount(path));
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, path, uuid));
    EXPECT_TRUE(volumes::volumeCarriesUuid(table, path, blkidValue(twin.device(), QStringLiteral("UUID"))));
    ASSERT_TRUE(twin.unmount());
    EXPECT_FALSE(volumes::volumeCarriesUuid(table, path, uuid)) << "a bare folder matched";
}

TEST(LinuxVolumeMonitor, ReportsMountRenameAndUnmountOnTheMainThread)
{
    QString reason;
    if (!LoopVolume::available(&reason)) {
        GTEST_SKIP() << reason.toStdString();
    }
    volumes::LinuxVolumeMonitor monitor;
    // Mounts must come from the mount-table notification, not from the timer.
    monitor.setLabelPollInterval(std::chrono::hours(1));
    bool offMainThread = false;
    auto checkThread = [&] { offMainThread |= QThread::currentThread() != qApp->thread(); };
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeMounted, checkThread);
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeUnmounted, checkThread);
    QObject::connect(&monitor, &volumes::VolumeMonitor::volumeRenamed, checkThread);
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy mounted(&monitor, &volumes::VolumeMonitor::volumeMounted);
    QSignalSpy unmounted(&monitor, &volumes::VolumeMonitor::volumeUnmounted);
    QSignalSpy renamed(&monitor, &volumes::VolumeMonitor::volumeRenamed);
    monitor.start();
    ASSERT_TRUE(ready.wait(eventTimeoutMs));

    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), sizeMiB);
    REQUIRE_MOUNTED(stick);
    const QList<QVariant> mount = waitForEventAt(mounted, stick.mountPath());
    ASSERT_FALSE(mount.isEmpty()) << "no mount event";
    const auto volume = mount[0].value<MountedVolume>();
    EXPECT_EQ(volume.uuid, blkidValue(stick.device(), QStringLiteral("UUID")));
    EXPECT_EQ(volume.localizedName, QStringLiteral("STICK"));

    // e2label on a mounted ext4 volume goes through the kernel: only the timer sees it.
    monitor.setLabelPollInterval(std::chrono::milliseconds(100));
    ASSERT_TRUE(stick.relabel(QStringLiteral("OFFSITE")));
    const QList<QVariant> rename = waitForEventAt(renamed, stick.mountPath());
    ASSERT_FALSE(rename.isEmpty()) << "no rename event";
    EXPECT_EQ(rename[0].value<MountedVolume>().localizedName, QStringLiteral("OFFSITE"));
    EXPECT_EQ(rename[0].value<MountedVolume>().uuid, volume.uuid);
    EXPECT_EQ(rename[1].toString(), QStringLiteral("STICK"));

    ASSERT_TRUE(stick.unmount());
    const QList<QVariant> unmount = waitForEventAt(unmounted, stick.mountPath());
    ASSERT_FALSE(unmount.isEmpty()) << "no unmount event";
    EXPECT_EQ(unmount[0].value<MountedVolume>().uuid, volume.uuid);

    // exfatlabel needs the device to itself: relabelled while unmounted, the
    // new name comes with the next mount.
    LoopVolume card(LoopVolume::Kind::ExFat, QStringLiteral("CARD"), sizeMiB);
    REQUIRE_MOUNTED(card);
    ASSERT_FALSE(waitForEventAt(mounted, card.mountPath()).isEmpty());
    ASSERT_TRUE(card.unmount());
    ASSERT_FALSE(waitForEventAt(unmounted, card.mountPath()).isEmpty());
    mounted.clear();
    ASSERT_TRUE(card.relabel(QStringLiteral("HOLIDAY")));
    ASSERT_TRUE(card.mount());
    const QList<QVariant> remount = waitForEventAt(mounted, card.mountPath());
    ASSERT_FALSE(remount.isEmpty());
    EXPECT_EQ(remount[0].value<MountedVolume>().localizedName, QStringLiteral("HOLIDAY"));

    EXPECT_FALSE(offMainThread) << "an event was emitted off the main thread";
}

TEST(LinuxVolumeMonitor, GivesUpAReadingStuckOnAHungShareAndGoesOnReportingMounts)
{
    QString reason;
    if (!LoopVolume::available(&reason)) {
        GTEST_SKIP() << reason.toStdString();
    }
    volumes::LinuxVolumeMonitor monitor;
    monitor.setStallBound(std::chrono::milliseconds(200));
    // The table itself never gives up here: only the monitor's bound can.
    monitor.setAnswerBound(std::chrono::hours(1));
    QSignalSpy ready(&monitor, &volumes::LinuxVolumeMonitor::ready);
    QSignalSpy mounted(&monitor, &volumes::VolumeMonitor::volumeMounted);
    monitor.start();
    ASSERT_TRUE(ready.wait(eventTimeoutMs));

    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), sizeMiB);
    REQUIRE_MOUNTED(stick);
    ASSERT_TRUE(stick.unmount());
    // Its source lies inside it: the next reading waits on it for good. So
    // does every mount tool that reads the mount table: the stick is mounted
    // with the system call.
    HangingShare share(HangingShare::Source::SourceInside);
    if (!share.isMounted()) {
        GTEST_SKIP() << share.skipReason().toStdString();
    }
    QTemporaryDir place;
    const QByteArray device = QFile::encodeName(stick.device());
    ASSERT_EQ(::mount(device.constData(), QFile::encodeName(place.path()).constData(), "ext4", 0, nullptr), 0);
    EXPECT_FALSE(waitForEventAt(mounted, place.path()).isEmpty()) << "no mount event behind the stuck reading";
    ::umount2(QFile::encodeName(place.path()).constData(), MNT_DETACH);
    share.release();
}

TEST(VolumeEject, UnmountsAVolumeButNeitherAFolderNorABusyVolume)
{
    LoopVolume stick(LoopVolume::Kind::Ext4, QStringLiteral("EJECTME"), sizeMiB);
    REQUIRE_MOUNTED(stick);
    const QString root = stick.mountPath();
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("folder")));

    EXPECT_FALSE(volumes::unmountAndEject(root + QStringLiteral("/folder")).isEmpty());
    EXPECT_FALSE(volumes::unmountAndEject(QFileInfo(root).path()).isEmpty()) << "the folder holding the mount";
    EXPECT_TRUE(platform::isMountPoint(root)) << "a folder's eject unmounted the volume";

    {
        QFile open(root + QStringLiteral("/folder/open.txt"));
        ASSERT_TRUE(open.open(QIODevice::WriteOnly));
        EXPECT_FALSE(volumes::unmountAndEject(root).isEmpty()) << "a busy volume was unmounted";
        EXPECT_TRUE(platform::isMountPoint(root));
    }
    EXPECT_EQ(volumes::unmountAndEject(root), QString());
    EXPECT_FALSE(platform::isMountPoint(root));

    LoopVolume card(LoopVolume::Kind::ExFat, QStringLiteral("EJECTFUSE"), sizeMiB);
    REQUIRE_MOUNTED(card);
    EXPECT_EQ(volumes::unmountAndEject(card.mountPath()), QString());
    EXPECT_FALSE(platform::isMountPoint(card.mountPath()));
}

TEST(VolumeEject, TheSystemEjectorAnswersOnTheMainThreadWithoutBlockingIt)
{
    LoopVolume stick(LoopVolume::Kind::ExFat, QStringLiteral("ASYNC"), sizeMiB);
    REQUIRE_MOUNTED(stick);
    volumes::SystemVolumeEjector ejector;
    std::optional<QString> answer;
    bool onMainThread = false;
    ejector.eject(stick.mountPath(), [&](const QString &error) {
        answer = error;
        onMainThread = QThread::currentThread() == qApp->thread();
    });
    // The answer is posted to this thread: it cannot have arrived yet.
    EXPECT_FALSE(answer.has_value());
    waitForAnswer(answer);
    ASSERT_TRUE(answer.has_value()) << "no answer";
    EXPECT_EQ(*answer, QString());
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(platform::isMountPoint(stick.mountPath()));

    answer.reset();
    ejector.eject(stick.mountPath(), [&](const QString &error) { answer = error; });
    waitForAnswer(answer);
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(answer->isEmpty()) << "a second eject of a gone volume reported success";
}
