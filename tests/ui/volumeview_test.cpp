// The volume panel and the main window's content: enabling rules, the two
// switches, choosing by dialog or drop, the refusal alert, removal, and the
// Backups window that every started backup asks for.
#include "viewtesting.h"

#include "platform/preferences.h"

#include <QDir>
#include <QQuickItem>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");
const QString kStickPath = QStringLiteral("/media/ann/STICK");

bool enabled(QQuickItem *item)
{
    return item && item->isEnabled();
}

QString text(const ViewFixture &f, const QString &name)
{
    QObject *object = f.find(name);
    return object ? object->property("text").toString() : QStringLiteral("<missing %1>").arg(name);
}

void drop(QQuickItem *panel, const QList<QUrl> &urls, bool *accepted = nullptr)
{
    QVariant result;
    ASSERT_TRUE(QMetaObject::invokeMethod(panel, "dropUrls", Q_RETURN_ARG(QVariant, result),
                                          Q_ARG(QVariant, QVariant::fromValue(urls))));
    if (accepted) {
        *accepted = result.toBool();
    }
}

} // namespace

TEST(VolumeView, WithoutADestinationNothingCanBeBackedUpOrEjected)
{
    ViewFixture f;
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450)));
    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("backupButton"))->isVisible());
    EXPECT_FALSE(enabled(f.item(QStringLiteral("backupButton"))));
    EXPECT_FALSE(enabled(f.item(QStringLiteral("ejectButton"))));
    EXPECT_TRUE(enabled(f.item(QStringLiteral("selectButton"))));
    EXPECT_EQ(text(f, QStringLiteral("selectButton")), QStringLiteral(" Select... "));
    EXPECT_EQ(text(f, QStringLiteral("ejectButton")), QStringLiteral("Eject"));
}

TEST(VolumeView, ADisconnectedDestinationShowsNotConnectedAndDisablesBackupAndEject)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450)));

    EXPECT_FALSE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_TRUE(f.item(QStringLiteral("volumeDetails"))->isVisible());
    EXPECT_EQ(text(f, QStringLiteral("availableLabel")), QStringLiteral("Not connected"));
    EXPECT_TRUE(text(f, QStringLiteral("capacityLabel")).endsWith(QStringLiteral(" Capacity")));
    EXPECT_EQ(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.0);
    EXPECT_EQ(text(f, QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_EQ(text(f, QStringLiteral("volumeDescriptionLabel")), QStringLiteral("Cruzer Blade, USB"));
    EXPECT_EQ(text(f, QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: 3/1/24, 9:00 AM"));
    EXPECT_TRUE(f.item(QStringLiteral("backupButton"))->isVisible());
    EXPECT_FALSE(enabled(f.item(QStringLiteral("backupButton"))));
    EXPECT_FALSE(enabled(f.item(QStringLiteral("ejectButton"))));

    // 20 points above the usage row, 6 above the backup button.
    auto gap = [&f](const QString &above, const QString &below) {
        QQuickItem *upper = f.item(above);
        QQuickItem *lower = f.item(below);
        return lower->mapToScene(QPointF(0, 0)).y() - upper->mapToScene(QPointF(0, upper->height())).y();
    };
    EXPECT_DOUBLE_EQ(gap(QStringLiteral("lastBackupLabel"), QStringLiteral("usageRow")), 20.0);
    EXPECT_DOUBLE_EQ(gap(QStringLiteral("autoEjectSwitch"), QStringLiteral("backupButton")), 6.0);

    // Clicking the disabled button starts nothing.
    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    EXPECT_EQ(f.controller->threads()->count(), 0);

    // The stick arrives: both buttons come alive and the space is current.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.settle();
    EXPECT_TRUE(enabled(f.item(QStringLiteral("backupButton"))));
    EXPECT_TRUE(enabled(f.item(QStringLiteral("ejectButton"))));
    EXPECT_TRUE(text(f, QStringLiteral("availableLabel")).endsWith(QStringLiteral(" Available")));
    EXPECT_NEAR(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.25, 1e-6);
}

TEST(VolumeView, ConnectedDestinationBacksUpAndEjectsFromItsButtons)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450)));

    QQuickItem *backup = f.item(QStringLiteral("backupButton"));
    EXPECT_EQ(backup->property("text").toString(), QStringLiteral(" Backup Now "));
    ASSERT_TRUE(enabled(backup));
    ViewFixture::click(backup);
    EXPECT_EQ(f.controller->threads()->count(), 1);
    EXPECT_EQ(text(f, QStringLiteral("lastBackupLabel")),
              QStringLiteral("Last Backup: ") + QLocale().toString(f.now, QLocale::ShortFormat));

    ViewFixture::click(f.item(QStringLiteral("ejectButton")));
    EXPECT_EQ(f.ejector.requests(), QStringList{kStickPath});
}

TEST(VolumeView, TurningAutoBackupOffDisablesAutoEjectAndStoresFalse)
{
    ViewFixture f;
    platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450)));

    QQuickItem *autoBackup = f.item(QStringLiteral("autoBackupSwitch"));
    QQuickItem *autoEject = f.item(QStringLiteral("autoEjectSwitch"));
    EXPECT_EQ(autoBackup->property("text").toString(), QStringLiteral("Auto Backup on Connect"));
    EXPECT_EQ(autoEject->property("text").toString(), QStringLiteral("Auto Eject on Completion"));
    // Never written: both show as on.
    EXPECT_TRUE(autoBackup->property("checked").toBool());
    EXPECT_TRUE(autoEject->property("checked").toBool());
    EXPECT_TRUE(enabled(autoEject));

    ViewFixture::click(autoBackup);
    EXPECT_FALSE(autoBackup->property("checked").toBool());
    EXPECT_FALSE(enabled(autoEject));
    const auto settings = platform::preferences();
    ASSERT_TRUE(settings->contains(QStringLiteral("autoBackupOnConnect")));
    EXPECT_FALSE(settings->value(QStringLiteral("autoBackupOnConnect")).toBool());
    // The greyed-out switch keeps what it had, and nothing was written for it.
    EXPECT_TRUE(autoEject->property("checked").toBool());
    EXPECT_FALSE(settings->contains(QStringLiteral("autoEjectOnComplete")));

    // The next mount of the destination only refreshes the panel.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.settle();
    EXPECT_EQ(f.controller->threads()->count(), 0);
    EXPECT_TRUE(enabled(f.item(QStringLiteral("backupButton"))));

    ViewFixture::click(autoBackup);
    EXPECT_TRUE(enabled(autoEject));
    ViewFixture::click(autoEject);
    EXPECT_FALSE(platform::preferences()->value(QStringLiteral("autoEjectOnComplete")).toBool());
}

TEST(VolumeView, RefusingAFolderRaisesTheAlertTitledWithItsName)
{
    ViewFixture f;
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/Holiday Photos");
    ASSERT_TRUE(QDir().mkpath(folder));
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
    ASSERT_TRUE(panel);
    QObject *alert = f.find(QStringLiteral("refusalAlert"));
    ASSERT_TRUE(alert);
    EXPECT_FALSE(alert->property("visible").toBool());

    bool accepted = false;
    drop(panel, {QUrl::fromLocalFile(folder)}, &accepted);
    EXPECT_TRUE(accepted);
    // The choice runs after the current event.
    EXPECT_FALSE(panel->property("showError").toBool());
    ASSERT_TRUE(ViewFixture::waitFor([&] { return alert->property("visible").toBool(); }));

    EXPECT_EQ(panel->property("alertTitle").toString(), QStringLiteral("Unable to use \"Holiday Photos\""));
    EXPECT_EQ(text(f, QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Holiday Photos\""));
    const QString message = text(f, QStringLiteral("refusalAlertMessage"));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_NE(message, QStringLiteral("Unknown reason"));
    // The panel did not change.
    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_TRUE(f.stored().volumeUUID.isEmpty());

    // Dismissing clears the flag.
    QMetaObject::invokeMethod(alert, "accept");
    EXPECT_TRUE(ViewFixture::waitFor([&] { return !panel->property("showError").toBool(); }));
}

TEST(VolumeView, ARefusalWithoutNameOrReasonUsesTheFallbackTexts)
{
    ViewFixture f;
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
    ASSERT_TRUE(panel);
    emit f.controller->volumeRefused(QString(), QString());
    f.settle();
    EXPECT_TRUE(f.find(QStringLiteral("refusalAlert"))->property("visible").toBool());
    EXPECT_EQ(text(f, QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Unknown item\""));
    EXPECT_EQ(text(f, QStringLiteral("refusalAlertMessage")), QStringLiteral("Unknown reason"));
}

TEST(VolumeView, DroppingTwoVolumesChoosesOnlyTheFirstAndAnEmptyDropIsRefused)
{
    ViewFixture f;
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.table.mount(fakeStick(QStringLiteral("C0DE-CAFE"), QStringLiteral("CARD"), QStringLiteral("/media/ann/CARD")));
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
    ASSERT_TRUE(panel);

    bool accepted = true;
    drop(panel, {}, &accepted);
    EXPECT_FALSE(accepted);

    drop(panel, {QUrl::fromLocalFile(kStickPath), QUrl::fromLocalFile(QStringLiteral("/media/ann/CARD"))}, &accepted);
    EXPECT_TRUE(accepted);
    ASSERT_TRUE(ViewFixture::waitFor([&] { return !f.stored().volumeUUID.isEmpty(); }));
    f.settle();
    EXPECT_EQ(f.stored().volumeUUID, kUuid);
    EXPECT_TRUE(f.item(QStringLiteral("volumeDetails"))->isVisible());
    EXPECT_EQ(text(f, QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_TRUE(enabled(f.item(QStringLiteral("backupButton"))));
}

TEST(VolumeView, RemoveVolumeFallsBackToThePlaceholderAndResetsTheLastBackup)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath, {QStringLiteral("/home/ann/Notes")}));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
    ASSERT_TRUE(panel);
    EXPECT_EQ(text(f, QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: 3/1/24, 9:00 AM"));

    QObject *remove = f.find(QStringLiteral("removeVolumeItem"));
    ASSERT_TRUE(remove);
    EXPECT_EQ(remove->property("text").toString(), QStringLiteral("Remove Volume"));
    QMetaObject::invokeMethod(remove, "triggered");
    f.settle();

    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("volumeDetails"))->isVisible());
    EXPECT_EQ(text(f, QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
    const BackupScript stored = f.stored();
    EXPECT_TRUE(stored.volumeUUID.isEmpty());
    EXPECT_EQ(stored.lastBackup, QStringLiteral("Never"));
    EXPECT_EQ(stored.sourcePaths, QStringList{QStringLiteral("/home/ann/Notes")});

    // Choosing the stick again shows it with "Never".
    drop(panel, {QUrl::fromLocalFile(kStickPath)});
    ASSERT_TRUE(ViewFixture::waitFor([&] { return f.item(QStringLiteral("volumeDetails"))->isVisible(); }));
    EXPECT_EQ(text(f, QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
}

TEST(VolumeView, TheVolumeDialogStartsWhereRemovableVolumesAppear)
{
    ViewFixture f;
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450)));
    QObject *chooser = nullptr;
    for (QObject *child : f.view->findChildren<QObject *>()) {
        if (child->metaObject()->className() == QByteArray("ItemChooser")) {
            chooser = child;
        }
    }
    ASSERT_TRUE(chooser);
    const QString start = chooser->property("startFolder").toString();
    EXPECT_TRUE(start == QStringLiteral("/media") || start.startsWith(QStringLiteral("/media/"))
                || start.startsWith(QStringLiteral("/run/media/")))
        << start.toStdString();
}

TEST(ContentView, EveryStartedBackupAsksForTheOneBackupsWindow)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("ContentView.qml")));
    QSignalSpy requests(f.router.get(), &WindowRouter::windowRequested);

    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.at(0).at(0).toString(), QStringLiteral("backups"));
    QQuickWindow *backups = f.router->window(QStringLiteral("backups"));
    ASSERT_TRUE(backups);
    EXPECT_TRUE(backups->isVisible());

    // Closed by the person, then a backup started by a mount: asked again,
    // and the same window comes back.
    backups->close();
    EXPECT_FALSE(backups->isVisible());
    f.controller->startBackup();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(f.router->window(QStringLiteral("backups")), backups);
    EXPECT_TRUE(backups->isVisible());

    // While it is open, too.
    f.controller->startBackup();
    EXPECT_EQ(requests.size(), 3);
    EXPECT_EQ(f.controller->threads()->count(), 3);
}
