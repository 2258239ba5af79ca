// The main window's content: the placeholders, the volume panel's enabling
// rules and switches, choosing by drop, the refusal alert, removal, and the
// Backups window that every started backup asks for.
#include "viewtesting.h"

#include <QDir>
#include <QSignalSpy>
#include <QUrl>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");
const QString kStickPath = QStringLiteral("/media/ann/STICK");

bool enabled(const ViewFixture &f, const QString &name)
{
    QQuickItem *item = f.item(name);
    return item && item->isEnabled();
}

QQuickItem *loadVolumeView(ViewFixture &f)
{
    f.start();
    return f.load(QStringLiteral("VolumeView.qml"), {}, QSize(280, 450));
}

bool drop(QQuickItem *panel, const QList<QUrl> &urls)
{
    QVariant accepted;
    EXPECT_TRUE(QMetaObject::invokeMethod(panel, "dropUrls", Q_RETURN_ARG(QVariant, accepted),
                                          Q_ARG(QVariant, QVariant::fromValue(urls))));
    return accepted.toBool();
}

} // namespace

TEST(ContentView, AnEmptySetShowsBothPlaceholdersAndNothingCanBeBackedUpOrEjected)
{
    ViewFixture f;
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("ContentView.qml")));
    EXPECT_TRUE(f.item(QStringLiteral("sourcePlaceholder"))->isVisible());
    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("sourceGrid"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("volumeDetails"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("backupButton"))->isVisible());
    EXPECT_FALSE(enabled(f, QStringLiteral("backupButton")));
    EXPECT_FALSE(enabled(f, QStringLiteral("ejectButton")));
    EXPECT_TRUE(enabled(f, QStringLiteral("selectButton")));

    const std::pair<const char *, QString> texts[] = {
        {"sourcePlaceholderLine1", QStringLiteral("Drag and drop files & folders here to back them up, ")},
        {"volumePlaceholderLine1", QStringLiteral("Drag and drop a volume here, ")},
        {"volumePlaceholderLine2", QStringLiteral("or click \"Select...\" to choose a destination volume")},
        {"selectButton", QStringLiteral(" Select... ")},
        {"ejectButton", QStringLiteral("Eject")},
        {"autoBackupSwitch", QStringLiteral("Auto Backup on Connect")},
        {"autoEjectSwitch", QStringLiteral("Auto Eject on Completion")},
        {"removeVolumeItem", QStringLiteral("Remove Volume")},
    };
    for (const auto &[name, expected] : texts) {
        EXPECT_EQ(f.text(QString::fromLatin1(name)), expected) << name;
    }
    const QString second = f.text(QStringLiteral("sourcePlaceholderLine2"));
    EXPECT_TRUE(second.startsWith(QStringLiteral("or click on the \"<img src=\"image://themeicon/list-add")))
        << second.toStdString();
    EXPECT_TRUE(second.endsWith(QStringLiteral("> Add...\" button above to select files or folders.")));
}

TEST(VolumeView, ADisconnectedDestinationShowsNotConnectedUntilItArrives)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    ASSERT_TRUE(loadVolumeView(f));
    EXPECT_FALSE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_EQ(f.text(QStringLiteral("availableLabel")), QStringLiteral("Not connected"));
    EXPECT_TRUE(f.text(QStringLiteral("capacityLabel")).endsWith(QStringLiteral(" Capacity")));
    EXPECT_EQ(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.0);
    EXPECT_EQ(f.text(QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_EQ(f.text(QStringLiteral("volumeDescriptionLabel")), QStringLiteral("Cruzer Blade, USB"));
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: 3/1/24, 9:00 AM"));
    EXPECT_TRUE(f.item(QStringLiteral("backupButton"))->isVisible());
    EXPECT_FALSE(enabled(f, QStringLiteral("backupButton")));
    EXPECT_FALSE(enabled(f, QStringLiteral("ejectButton")));
    // 20 points above the usage row, 6 above the backup button.
    auto gap = [&f](const char *above, const char *below) {
        QQuickItem *upper = f.item(QLatin1String(above));
        return f.item(QLatin1String(below))->mapToScene(QPointF(0, 0)).y()
               - upper->mapToScene(QPointF(0, upper->height())).y();
    };
    EXPECT_DOUBLE_EQ(gap("lastBackupLabel", "usageRow"), 20.0);
    EXPECT_DOUBLE_EQ(gap("autoEjectSwitch", "backupButton"), 6.0);

    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    EXPECT_EQ(f.controller->threads()->count(), 0);

    // The stick arrives: both buttons come alive and the space is current;
    // " Backup Now " starts a backup and "Eject" ejects.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.settle();
    ASSERT_TRUE(enabled(f, QStringLiteral("backupButton")));
    EXPECT_TRUE(enabled(f, QStringLiteral("ejectButton")));
    EXPECT_TRUE(f.text(QStringLiteral("availableLabel")).endsWith(QStringLiteral(" Available")));
    EXPECT_NEAR(f.find(QStringLiteral("usageGauge"))->property("value").toReal(), 0.25, 1e-6);
    EXPECT_EQ(f.text(QStringLiteral("backupButton")), QStringLiteral(" Backup Now "));
    ViewFixture::click(f.item(QStringLiteral("backupButton")));
    EXPECT_EQ(f.controller->threads()->count(), 1);
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")),
              QStringLiteral("Last Backup: ") + QLocale().toString(f.now, QLocale::ShortFormat));
    ViewFixture::click(f.item(QStringLiteral("ejectButton")));
    EXPECT_EQ(f.ejector.requests(), QStringList{kStickPath});
}

TEST(VolumeView, TurningAutoBackupOffDisablesAutoEjectAndStoresFalse)
{
    ViewFixture f;
    platform::preferences()->remove(QStringLiteral("autoEjectOnComplete"));
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    ASSERT_TRUE(loadVolumeView(f));
    QQuickItem *autoBackup = f.item(QStringLiteral("autoBackupSwitch"));
    QQuickItem *autoEject = f.item(QStringLiteral("autoEjectSwitch"));
    // Never written: both show as on.
    EXPECT_TRUE(autoBackup->property("checked").toBool());
    EXPECT_TRUE(autoEject->property("checked").toBool());
    EXPECT_TRUE(autoEject->isEnabled());

    ViewFixture::click(autoBackup);
    EXPECT_FALSE(autoEject->isEnabled());
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

    ViewFixture::click(autoBackup);
    EXPECT_TRUE(autoEject->isEnabled());
    ViewFixture::click(autoEject);
    EXPECT_FALSE(settings->value(QStringLiteral("autoEjectOnComplete")).toBool());
}

TEST(VolumeView, ARefusedChoiceRaisesTheAlertTitledWithItsNameOrTheFallbacks)
{
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/Holiday Photos");
    ASSERT_TRUE(QDir().mkpath(folder));
    ViewFixture f;
    QQuickItem *panel = loadVolumeView(f);
    ASSERT_TRUE(panel);
    QObject *alert = f.find(QStringLiteral("refusalAlert"));
    ASSERT_TRUE(alert);
    EXPECT_FALSE(alert->property("visible").toBool());

    EXPECT_TRUE(drop(panel, {QUrl::fromLocalFile(folder)}));
    EXPECT_FALSE(panel->property("showError").toBool()); // the choice runs after the current event
    ASSERT_TRUE(ViewFixture::waitFor([&] { return alert->property("visible").toBool(); }));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Holiday Photos\""));
    EXPECT_FALSE(f.text(QStringLiteral("refusalAlertMessage")).isEmpty());
    EXPECT_NE(f.text(QStringLiteral("refusalAlertMessage")), QStringLiteral("Unknown reason"));
    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_TRUE(f.stored().volumeUUID.isEmpty());
    QMetaObject::invokeMethod(alert, "accept");
    EXPECT_TRUE(ViewFixture::waitFor([&] { return !panel->property("showError").toBool(); }));

    emit f.controller->volumeRefused(QString(), QString());
    ASSERT_TRUE(ViewFixture::waitFor([&] { return alert->property("visible").toBool(); }));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Unknown item\""));
    EXPECT_EQ(f.text(QStringLiteral("refusalAlertMessage")), QStringLiteral("Unknown reason"));
}

TEST(VolumeView, RemoveVolumeResetsTheLastBackupAndADropOfTwoVolumesChoosesTheFirst)
{
    ViewFixture f;
    f.storeSet(setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath));
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    f.table.mount(fakeStick(QStringLiteral("C0DE-CAFE"), QStringLiteral("CARD"), QStringLiteral("/media/ann/CARD")));
    QQuickItem *panel = loadVolumeView(f);
    ASSERT_TRUE(panel);
    QObject *remove = f.find(QStringLiteral("removeVolumeItem"));
    ASSERT_TRUE(remove);
    QMetaObject::invokeMethod(remove, "triggered");
    f.settle();
    EXPECT_TRUE(f.item(QStringLiteral("volumePlaceholder"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("volumeDetails"))->isVisible());
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
    EXPECT_TRUE(f.stored().volumeUUID.isEmpty());
    EXPECT_EQ(f.stored().lastBackup, QStringLiteral("Never"));
    EXPECT_EQ(f.stored().sourcePaths, QStringList{QStringLiteral("/home/ann/Notes")});

    // The volume dialog starts where removable volumes appear.
    QString start;
    for (QObject *child : f.view->findChildren<QObject *>()) {
        if (child->inherits("ItemChooser")) {
            start = child->property("startFolder").toString();
        }
    }
    EXPECT_TRUE(start == QStringLiteral("/media") || start.startsWith(QStringLiteral("/media/"))
                || start.startsWith(QStringLiteral("/run/media/")))
        << start.toStdString();

    EXPECT_FALSE(drop(panel, {}));
    EXPECT_TRUE(drop(panel, {QUrl::fromLocalFile(kStickPath), QUrl::fromLocalFile(QStringLiteral("/media/ann/CARD"))}));
    ASSERT_TRUE(ViewFixture::waitFor([&] { return f.item(QStringLiteral("volumeDetails"))->isVisible(); }));
    EXPECT_EQ(f.stored().volumeUUID, kUuid);
    EXPECT_EQ(f.text(QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    EXPECT_EQ(f.text(QStringLiteral("lastBackupLabel")), QStringLiteral("Last Backup: Never"));
    EXPECT_TRUE(enabled(f, QStringLiteral("backupButton")));
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

    // Closed, then asked for by a backup started elsewhere: the same window
    // comes back; while it is open, too.
    backups->close();
    f.controller->startBackup();
    EXPECT_EQ(f.router->window(QStringLiteral("backups")), backups);
    EXPECT_TRUE(backups->isVisible());
    f.controller->startBackup();
    EXPECT_EQ(requests.size(), 3);
}
