// The menus and the toolbar: the maker's pages, the feedback e-mail, the
// About box, the settings window and the share sheet.
#include "apptesting.h"

#include "Moraine/kitalert.h"
#include "platform/buildinfo.h"
#include "platform/computername.h"
#include "platform/preferences.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QQuickItem>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

QQuickWindow *launched(AppFixture &f)
{
    VelloryApp &app = f.start();
    if (!app.launch()) {
        return nullptr;
    }
    QQuickWindow *window = f.mainWindow();
    QTest::qWaitForWindowExposed(window);
    return window;
}

void trigger(QQuickWindow *window, const QString &name)
{
    QObject *item = AppFixture::menuItem(window, name);
    ASSERT_TRUE(item) << name.toStdString();
    QMetaObject::invokeMethod(item, "triggered");
}

void click(QQuickItem *item)
{
    ASSERT_TRUE(item && item->window());
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre);
}

QQuickItem *toolbarButton(QQuickWindow *window, const QString &name)
{
    return AppFixture::item(window->property("header").value<QObject *>(), name);
}

} // namespace

TEST(ShellCommands, TheHelpMenuHoldsTheMakersGroupThenAboutAndTheUpdateCheck)
{
    RecordingAlertPresenter alerts;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    QObject *help = nullptr;
    for (QObject *menu : AppFixture::menus(window)) {
        if (menu && menu->objectName() == QStringLiteral("helpMenu")) {
            help = menu;
        }
    }
    ASSERT_TRUE(help);
    QStringList entries;
    for (QObject *entry : AppFixture::menuEntries(help)) {
        entries.append(entry->inherits("QQuickMenuSeparator") ? QStringLiteral("-") : entry->property("text").toString());
    }
    const QStringList expected = {
        QStringLiteral("Contact Brindlewick for support or feedback..."),
        QStringLiteral("-"),
        QStringLiteral("Visit Brindlewick's Website..."),
        QStringLiteral("Stay Up To Date"),
        QStringLiteral("Share the Vellory 2 love..."),
        QStringLiteral("-"),
        QStringLiteral("About Vellory 2"),
        QStringLiteral("-"),
        QStringLiteral("Check for updates..."),
    };
    EXPECT_EQ(entries, expected);
    // The maker's items carry their icons; "Check for updates..." is plain text.
    for (QObject *entry : AppFixture::menuEntries(help)) {
        if (entry->inherits("QQuickMenuSeparator")) {
            continue;
        }
        const QString icon = AppFixture::evaluate(entry, QStringLiteral("icon.name")).toString();
        if (entry->objectName() == QStringLiteral("checkForUpdatesItem")) {
            EXPECT_TRUE(icon.isEmpty());
        } else {
            EXPECT_FALSE(icon.isEmpty()) << entry->objectName().toStdString();
        }
    }
}

TEST(ShellCommands, TheMakersPagesOpenInTheBrowser)
{
    RecordingAlertPresenter alerts;
    RecordingUrlOpener browser;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);

    trigger(window, QStringLiteral("websiteItem"));
    trigger(window, QStringLiteral("newsItem"));
    QQuickItem *maker = toolbarButton(window, QStringLiteral("makerButton"));
    ASSERT_TRUE(maker);
    EXPECT_EQ(maker->property("text").toString(), QStringLiteral("Brindlewick"));
    click(maker);

    ASSERT_EQ(browser.opened.size(), 3);
    EXPECT_EQ(browser.opened.at(0), QUrl(platform::buildinfo::makerWebsite()));
    EXPECT_EQ(browser.opened.at(1), QUrl(platform::buildinfo::newsPage()));
    EXPECT_TRUE(browser.opened.at(1).path().endsWith(QStringLiteral("/uptodate/")));
    EXPECT_EQ(browser.opened.at(2), QUrl(platform::buildinfo::makerWebsite()));
}

TEST(ShellCommands, ContactOpensTheFeedbackMailToTheSupportAddress)
{
    RecordingAlertPresenter alerts;
    RecordingUrlOpener browser;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    trigger(window, QStringLiteral("contactItem"));
    // The report is made on a background task; the mail follows.
    ASSERT_TRUE(AppFixture::waitFor([&] { return !browser.opened.isEmpty(); }, 15000));
    const QUrl mail = browser.opened.first();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), platform::buildinfo::supportEmail());
    const QUrlQuery query(mail);
    const QString subject = query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
    EXPECT_TRUE(subject.endsWith(QStringLiteral(" Feedback"))) << subject.toStdString();
    EXPECT_FALSE(subject.contains(QStringLiteral("<appName>")));
    EXPECT_TRUE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                    .startsWith(QStringLiteral("Please enter your message below:\n")));
    EXPECT_TRUE(alerts.alerts.isEmpty());
}

TEST(ShellCommands, TheShareSheetOpensFromToolbarAndMenuFreshEachTimeAndClosesWithClose)
{
    RecordingAlertPresenter alerts;
    RecordingUrlOpener browser;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    VelloryApp &app = *f.app;
    QObject *sheet = AppFixture::find(window, QStringLiteral("shareSheet"));
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->property("visible").toBool());

    QQuickItem *share = toolbarButton(window, QStringLiteral("shareButton"));
    ASSERT_TRUE(share);
    EXPECT_EQ(share->property("text").toString(), QStringLiteral("Share"));
    click(share);
    EXPECT_TRUE(app.showShareSheet());
    ASSERT_TRUE(AppFixture::waitFor([&] { return sheet->property("visible").toBool(); }));

    QObject *panel = AppFixture::find(sheet, QStringLiteral("sharePanel"));
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->property("appName").toString(), QStringLiteral("Vellory"));
    EXPECT_TRUE(panel->property("emailSubject").toString().startsWith(QStringLiteral("Vellory 2 - ")));
    EXPECT_EQ(panel->property("targetURL").toString(), platform::buildinfo::productPage());
    const QString message = panel->property("message").toString();
    EXPECT_EQ(message.count(QStringLiteral("Vellory")), 2);
    EXPECT_TRUE(message.contains(QStringLiteral("USB drive")));
    EXPECT_TRUE(message.contains(QStringLiteral("SD card")));

    // An edit lives only as long as the sheet.
    QObject *editor = AppFixture::find(panel, QStringLiteral("messageEditor"));
    ASSERT_TRUE(editor);
    editor->setProperty("text", QStringLiteral("Edited"));
    QQuickItem *close = AppFixture::item(panel, QStringLiteral("closeButton"));
    ASSERT_TRUE(close);
    EXPECT_EQ(close->property("text").toString(), QStringLiteral(" Close "));
    QPointer<QObject> closedPanel(panel);
    click(close);
    ASSERT_TRUE(AppFixture::waitFor([&] { return !app.showShareSheet(); }));
    EXPECT_TRUE(AppFixture::waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(AppFixture::waitFor([&] { return closedPanel.isNull(); })) << "the panel goes with the sheet";

    trigger(window, QStringLiteral("shareLoveItem"));
    EXPECT_TRUE(app.showShareSheet());
    ASSERT_TRUE(AppFixture::waitFor([&] { return sheet->property("visible").toBool(); }));
    QObject *again = AppFixture::find(sheet, QStringLiteral("messageEditor"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->property("text").toString(), message);

    // Escape dismisses it too, and the flag follows.
    app.setShowShareSheet(false);
    EXPECT_TRUE(AppFixture::waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(browser.opened.isEmpty());
}

TEST(ShellCommands, AboutShowsTheNameAndVersion)
{
    RecordingAlertPresenter alerts;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    trigger(window, QStringLiteral("aboutItem"));
    QObject *about = AppFixture::find(window, QStringLiteral("aboutDialog"));
    ASSERT_TRUE(about);
    ASSERT_TRUE(AppFixture::waitFor([&] { return about->property("visible").toBool(); }));
    EXPECT_EQ(AppFixture::find(about, QStringLiteral("aboutName"))->property("text").toString(),
              QStringLiteral("Vellory 2"));
    const QString version = AppFixture::find(about, QStringLiteral("aboutVersion"))->property("text").toString();
    ASSERT_TRUE(moraine::versionString());
    EXPECT_TRUE(version.contains(*moraine::versionString())) << version.toStdString();
}

TEST(ShellCommands, OneSettingsWindowWithTheUpdatesTab)
{
    RecordingAlertPresenter alerts;
    AppFixture f;
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    trigger(window, QStringLiteral("settingsItem"));
    QQuickWindow *settings = f.app->router().window(QStringLiteral("settings"));
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->width(), 450);
    EXPECT_EQ(settings->minimumWidth(), 450);
    EXPECT_EQ(settings->maximumWidth(), 450);
    EXPECT_GE(settings->minimumHeight(), 220);
    EXPECT_GE(settings->height(), 220);
    QObject *tab = AppFixture::find(settings, QStringLiteral("updatesTab"));
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->property("text").toString(), QStringLiteral("Updates"));
    QObject *view = AppFixture::find(settings, QStringLiteral("updatesView"));
    ASSERT_TRUE(view);
    EXPECT_TRUE(QByteArray(view->metaObject()->className()).startsWith("NIMBSettingsView"));

    // "General" holds "Start at login", off until turned on; turning it on
    // writes the user's autostart entry.
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/com.brindlewick.vellory2.desktop");
    QFile::remove(entry);
    QObject *loginSwitch = AppFixture::find(settings, QStringLiteral("startAtLoginSwitch"));
    ASSERT_TRUE(loginSwitch);
    EXPECT_EQ(loginSwitch->property("text").toString(), QStringLiteral("Start at login"));
    EXPECT_FALSE(loginSwitch->property("checked").toBool());
    loginSwitch->setProperty("checked", true);
    QMetaObject::invokeMethod(loginSwitch, "toggled");
    EXPECT_TRUE(QFile::exists(entry));
    QFile::remove(entry);

    trigger(window, QStringLiteral("settingsItem"));
    EXPECT_EQ(f.app->router().window(QStringLiteral("settings")), settings);
}

TEST(ShellCommands, OpenBackupFolderRevealsThisComputersFolderWhileTheDestinationIsConnected)
{
    RecordingAlertPresenter alerts;
    RecordingUrlOpener fileManager;
    QTemporaryDir stick;
    ASSERT_TRUE(stick.isValid());
    const QString uuid = QStringLiteral("1A2B-3C4D");
    AppFixture f;
    BackupScript script;
    script.volumeUUID = uuid;
    script.volumeName = QStringLiteral("STICK");
    script.volumePath = stick.path();
    f.storeSet(script);
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    QQuickWindow *window = launched(f);
    ASSERT_TRUE(window);
    QObject *item = AppFixture::menuItem(window, QStringLiteral("openBackupFolderItem"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("Open Backup Folder"));
    EXPECT_FALSE(item->property("enabled").toBool());

    f.monitor.mount(fakeStick(uuid, QStringLiteral("STICK"), stick.path()));
    ASSERT_TRUE(AppFixture::waitFor([item] { return item->property("enabled").toBool(); }));
    // Before the first backup there is only the volume to show.
    trigger(window, QStringLiteral("openBackupFolderItem"));
    const QString folder = stick.path() + QStringLiteral("/Vellory/") + platform::computerName();
    ASSERT_TRUE(QDir().mkpath(folder));
    trigger(window, QStringLiteral("openBackupFolderItem"));
    EXPECT_EQ(fileManager.revealed, (QStringList{stick.path(), folder}));

    ASSERT_TRUE(f.monitor.unmount(stick.path()));
    EXPECT_TRUE(AppFixture::waitFor([item] { return !item->property("enabled").toBool(); }));
    EXPECT_TRUE(alerts.alerts.isEmpty());
}
