// The volume panel: its enabling rules and switches, choosing by drop, the
// refusal alert and removal.
#include "viewtesting.h"

#include "ui/desktopfiles.h"

#include <QDir>
#include <QUrl>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");
const QString kStickPath = QStringLiteral("/media/ann/STICK");

bool enabled(const ViewFixture &f, const QString &name)
{
    QQuickItem *item = f.item(name);
    return item && item->isEnabled();
}

bool visible(const ViewFixture &f, const QString &name)
{
    QQuickItem *item = f.item(name);
    return item && item->isVisible();
}

bool drop(QQuickItem *panel, const QList<QUrl> &urls)
{
    QVariant accepted;
    EXPECT_TRUE(QMetaObject::invokeMethod(panel, "dropUrls", Q_RETURN_ARG(QVariant, accepted),
                                          Q_ARG(QVariant, QVariant::fromValue(urls))));
    return accepted.toBool();
}

} // namespace

// With the destination disconnected, then connected: the labels, the
// buttons, and the switches (never written: both on; auto eject only with
// auto backup, keeping what it had and writing nothing while greyed out).
// Then removed, refused choices and a drop of two volumes.
TEST(VolumeView, TheDestinationsStateDrivesTheButtonsAndSwitchesAndADropChoosesOrRaisesTheRefusal)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));
    f.table.mount(fakeStick(QStringLiteral("C0DE-CAFE"), QStringLiteral("CARD"), QStringLiteral("/media/ann/CARD")));
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
    ASSERT_TRUE(panel);
    EXPECT_FALSE(visible(f, QStringLiteral("volumePlaceholder")));
    EXPECT_EQ(f.text(QStringLiteral("availableLabel")), QStringLiteral("Not connected"));
    EXPECT_EQ(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.0);
    EXPECT_EQ(f.text(QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: 3/1/24, 9:00 AM"));
    EXPECT_TRUE(visible(f, QStringLiteral("backupButton")));
    EXPECT_FALSE(enabled(f, QStringLiteral("backupButton")) || enabled(f, QStringLiteral("ejectButton")));
    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    EXPECT_EQ(f.controller->threads()->count(), 0);

    QQuickItem *autoBackup = f.item(QStringLiteral("autoBackupSwitch"));
    QQuickItem *autoEject = f.item(QStringLiteral("autoEjectSwitch"));
    EXPECT_TRUE(autoBackup->property("checked").toBool() && autoEject->property("checked").toBool());
    EXPECT_TRUE(autoEject->isEnabled());
    ViewFixture::click(autoBackup);
    EXPECT_FALSE(autoEject->isEnabled());
    const auto settings = platform::preferences();
    EXPECT_EQ(settings->value(QStringLiteral("autoBackupOnConnect"), true).toBool(), false);
    EXPECT_TRUE(autoEject->property("checked").toBool());
    EXPECT_FALSE(settings->contains(QStringLiteral("autoEjectOnComplete")));

    // The stick arrives (with auto backup off that only refreshes the panel):
    // both buttons come alive and the space is current; " Backup Now "
    // starts a backup and "Eject" ejects.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.settle();
    EXPECT_EQ(f.controller->threads()->count(), 0);
    ASSERT_TRUE(enabled(f, QStringLiteral("backupButton")));
    EXPECT_TRUE(enabled(f, QStringLiteral("ejectButton")));
    EXPECT_TRUE(f.text(QStringLiteral("availableLabel")).endsWith(QStringLiteral(" Available")));
    EXPECT_NEAR(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.25, 1e-6);
    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    EXPECT_EQ(f.controller->threads()->count(), 1);
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")),
              QStringLiteral("Last Backup: ") + QLocale().toString(f.now, QLocale::ShortFormat));
    ViewFixture::click(f.item(QStringLiteral("ejectButton")));
    EXPECT_EQ(f.ejector.requests(), QStringList{kStickPath});

    ViewFixture::click(autoBackup);
    EXPECT_TRUE(autoEject->isEnabled());
    ViewFixture::click(autoEject);
    EXPECT_FALSE(settings->value(QStringLiteral("autoEjectOnComplete")).toBool());

    // "Remove Volume" forgets the destination and its last backup, not the
    // sources; the volume dialog starts where removable volumes appear.
    QMetaObject::invokeMethod(f.find(QStringLiteral("removeVolumeItem")), "triggered");
    f.settle();
    EXPECT_TRUE(visible(f, QStringLiteral("volumePlaceholder")) && enabled(f, QStringLiteral("selectButton")));
    EXPECT_FALSE(visible(f, QStringLiteral("volumeDetails")) || visible(f, QStringLiteral("backupButton")));
    EXPECT_FALSE(enabled(f, QStringLiteral("backupButton")) || enabled(f, QStringLiteral("ejectButton")));
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
    EXPECT_TRUE(f.stored().volumeUUID.isEmpty());
    EXPECT_EQ(f.stored().lastBackup, QStringLiteral("Never"));
    EXPECT_EQ(f.stored().sourcePaths, QStringList{QStringLiteral("/home/ann/Notes")});
    QString start;
    for (QObject *child : f.view->findChildren<QObject *>()) {
        start = child->inherits("ItemChooser") ? child->property("startFolder").toString() : start;
    }
    EXPECT_EQ(start, DesktopFiles::removableMediaFolder());

    // A folder is refused in an alert titled with its name, or the fallbacks.
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/Holiday Photos");
    ASSERT_TRUE(QDir().mkpath(folder));
    QObject *alert = f.find(QStringLiteral("refusalAlert"));
    ASSERT_TRUE(alert);
    EXPECT_FALSE(alert->property("visible").toBool());
    EXPECT_TRUE(drop(panel, {QUrl::fromLocalFile(folder)}));
    EXPECT_FALSE(panel->property("showError").toBool()); // the choice runs after the current event
    ASSERT_TRUE(waitUntil([&] { return alert->property("visible").toBool(); }));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Holiday Photos\""));
    EXPECT_FALSE(f.text(QStringLiteral("refusalAlertMessage")).isEmpty());
    EXPECT_NE(f.text(QStringLiteral("refusalAlertMessage")), QStringLiteral("Unknown reason"));
    EXPECT_TRUE(visible(f, QStringLiteral("volumePlaceholder")));
    EXPECT_TRUE(f.stored().volumeUUID.isEmpty());
    QMetaObject::invokeMethod(alert, "accept");
    EXPECT_TRUE(waitUntil([&] { return !panel->property("showError").toBool(); }));
    emit f.controller->volumeRefused(QString(), QString());
    ASSERT_TRUE(waitUntil([&] { return alert->property("visible").toBool(); }));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Unknown item\""));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertMessage")), QStringLiteral("Unknown reason"));
    QMetaObject::invokeMethod(alert, "accept");

    // Of two volumes dropped the first is chosen, with no backup yet (the
    // stick is back after its eject).
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    EXPECT_FALSE(drop(panel, {}));
    EXPECT_TRUE(drop(panel, {QUrl::fromLocalFile(kStickPath), QUrl::fromLocalFile(QStringLiteral("/media/ann/CARD"))}));
    ASSERT_TRUE(waitUntil([&] { return visible(f, QStringLiteral("volumeDetails")); }));
    EXPECT_EQ(f.stored().volumeUUID, kUuid);
    EXPECT_EQ(f.text(QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
    EXPECT_TRUE(enabled(f, QStringLiteral("backupButton")));
}
