#pragma once

#include "fakevolumes.h"

#include "backup/backupcontroller.h"
#include "backup/iconsource.h"
#include "backup/scriptstore.h"
#include "backup/systemvolumeservices.h"
#include "jobtesting.h"
#include "volumes/fakevolumemonitor.h"
#include "volumes/fakevolumetable.h"
#include "platform/settings.h"
#include "volumes/volumeejector.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <memory>

// Icons named after plain colours, so that tests can tell them apart; files
// listed in `unknownFiles` have none. Counts what it is asked.
class FakeIconSource : public IconSource
{
public:
    static IconDescription named(const QString &name)
    {
        IconDescription icon;
        icon.names = {name};
        return icon;
    }

    IconDescription fileIcon(const QString &path) const override
    {
        ++fileRequests[path];
        return unknownFiles.contains(path) ? IconDescription() : named(QStringLiteral("green"));
    }
    IconDescription volumeIcon(const volumes::MountedVolume &) const override
    {
        return volumeIconMissing ? IconDescription() : named(QStringLiteral("blue"));
    }
    IconDescription missingVolumeIcon() const override { return named(QStringLiteral("red")); }
    IconDescription unknownItemIcon() const override { return named(QStringLiteral("yellow")); }

    QStringList unknownFiles;
    bool volumeIconMissing = false;
    mutable std::map<QString, int> fileRequests;
};


// A controller over fake volumes, a private store and recorded output.
// Make the controller with start() after arranging the table and store.
class ControllerFixture
{
public:
    ControllerFixture()
        : monitor(table)
        , ejector(&monitor)
        , icons(std::make_shared<FakeIconSource>())
        , settings(std::make_shared<platform::Settings>(dataDir.filePath(QStringLiteral("settings.conf"))))
    {
        // Jobs started here must never try to eject anything of this machine
        // (a run reads the user's store, here the test run's private one).
        platform::Settings().setAutoEjectOnComplete(false);
    }

    ~ControllerFixture()
    {
        controller.reset();
        platform::Settings().setAutoEjectOnComplete(true);
    }

    [[nodiscard]] ScriptStore store() const
    {
        return ScriptStore(dataDir.path(), [](const QString &) {});
    }

    // Over this machine's volumes when `system` is given; then, or when
    // `wait` is false, the readings of the table are not waited for.
    BackupController &start(SystemVolumeServices *system = nullptr, bool wait = true)
    {
        BackupControllerServices services;
        services.store = store();
        services.volumeTable = system ? static_cast<volumes::VolumeTable *>(&system->table()) : &table;
        services.volumeMonitor = system ? static_cast<volumes::VolumeMonitor *>(&system->monitor()) : &monitor;
        services.volumeEjector = system ? static_cast<volumes::VolumeEjector *>(&system->ejector()) : &ejector;
        services.iconSource = icons;
        services.outputLine = [this](const QString &line) { output.append(line); };
        services.clock = [this] { return now; };
        services.settings = settings;
        controller = std::make_unique<BackupController>(std::move(services));
        if (!system && wait) {
            controller->waitForVolumeReadings();
        }
        return *controller;
    }

    // Until the controller's readings of the table are applied.
    void settle() const
    {
        EXPECT_TRUE(waitUntil([this] { return !controller->isReadingVolumes(); }));
    }

    // The set as it is in the store file now; a default set when there is none.
    [[nodiscard]] BackupScript stored() const
    {
        return store().read().script.value_or(BackupScript());
    }

    void storeSet(const BackupScript &script) { ASSERT_TRUE(store().save(script)); }

    QTemporaryDir dataDir;
    volumes::FakeVolumeTable table;
    volumes::FakeVolumeMonitor monitor;
    volumes::FakeVolumeEjector ejector;
    std::shared_ptr<FakeIconSource> icons;
    /// The controller's preferences, in a file of the test's own.
    std::shared_ptr<platform::Settings> settings;
    QDateTime now = QDateTime(QDate(2024, 3, 9), QTime(14, 30));
    QStringList output;
    std::unique_ptr<BackupController> controller;
};

// A set naming a destination, as a successful choice leaves it.
inline BackupScript setWithDestination(const QString &uuid, const QString &name, const QString &path,
                                       quint64 capacity = 8'000'000'000)
{
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Notes")};
    script.volumeUUID = uuid;
    script.volumeName = name;
    script.volumePath = path;
    script.volumeCapacity = capacity;
    script.volumeDescription = QStringLiteral("Cruzer Blade, USB");
    script.lastBackup = QStringLiteral("3/1/24, 9:00 AM");
    return script;
}

// The volume panel's choice of `url`, once its outcome is applied: whether
// the item became the destination.
inline bool chooseVolume(BackupController &controller, const QUrl &url)
{
    QSignalSpy refused(&controller, &BackupController::volumeRefused);
    controller.selectVolume(url);
    controller.waitForVolumeReadings();
    return refused.isEmpty();
}

