// The menus and the toolbar: the maker's pages, the feedback e-mail, the
// About box, the settings window, the share sheet and the backup folder.
#include "apptesting.h"

#include "Moraine/kitalert.h"
#include "platform/buildinfo.h"
#include "platform/computername.h"
#include "platform/preferences.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"

#include <QDir>
#include <QPointer>
#include <QUrlQuery>

namespace {

QQuickItem *toolbarButton(QQuickWindow *window, const QString &name)
{
    return AppFixture::item(window->property("header").value<QObject *>(), name);
}

QVariant property(QObject *root, const QString &name, const char *property)
{
    QObject *object = AppFixture::find(root, name);
    return object ? object->property(property) : QVariant(QStringLiteral("<missing %1>").arg(name));
}

class ShellCommands : public ::testing::Test
{
protected:
    RecordingAlertPresenter alerts;
    RecordingUrlOpener browser;
    AppFixture f;
};

} // namespace

// The maker's pages from the Help menu and the toolbar, the feedback mail,
// made on a background task, to the support address, the share sheet and the
// About box.
TEST_F(ShellCommands, TheHelpMenuOpensTheMakersPagesTheFeedbackMailTheShareSheetAndTheAboutBox)
{
    QQuickWindow *window = f.launch();
    ASSERT_TRUE(window);
    AppFixture::trigger(window, QStringLiteral("websiteItem"));
    AppFixture::trigger(window, QStringLiteral("newsItem"));
    QQuickItem *maker = toolbarButton(window, QStringLiteral("makerButton"));
    ASSERT_TRUE(maker);
    EXPECT_EQ(maker->property("text").toString(), QStringLiteral("Brindlewick"));
    AppFixture::click(maker);
    const QUrl website(platform::buildinfo::makerWebsite());
    EXPECT_EQ(browser.opened, (QList<QUrl>{website, QUrl(platform::buildinfo::newsPage()), website}));
    EXPECT_TRUE(browser.opened.value(1).path().endsWith(QStringLiteral("/uptodate/")));

    browser.opened.clear();
    AppFixture::trigger(window, QStringLiteral("contactItem"));
    ASSERT_TRUE(AppFixture::waitFor([&] { return !browser.opened.isEmpty(); }, 15000));
    const QUrl mail = browser.opened.first();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), platform::buildinfo::supportEmail());
    const QUrlQuery query(mail);
    const QString subject = query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
    EXPECT_TRUE(subject.endsWith(QStringLiteral(" Feedback")) && !subject.contains(QStringLiteral("<appName>")))
        << subject.toStdString();
    EXPECT_TRUE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                    .startsWith(QStringLiteral("Please enter your message below:\n")));
    EXPECT_TRUE(alerts.alerts.isEmpty());

    // The share sheet opens from the toolbar and the menu, fresh each time,
    // and closes with " Close ".
    browser.opened.clear();
    VelloryApp &app = *f.app;
    QObject *sheet = AppFixture::find(window, QStringLiteral("shareSheet"));
    QQuickItem *share = toolbarButton(window, QStringLiteral("shareButton"));
    ASSERT_TRUE(sheet && share);
    EXPECT_FALSE(sheet->property("visible").toBool());
    AppFixture::click(share);
    EXPECT_TRUE(app.showShareSheet());
    ASSERT_TRUE(AppFixture::waitFor([&] { return sheet->property("visible").toBool(); }));
    QObject *panel = AppFixture::find(sheet, QStringLiteral("sharePanel"));
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->property("targetURL").toString(), platform::buildinfo::productPage());
    const QString message = panel->property("message").toString();
    EXPECT_EQ(message, AppCommands::shareMessage());

    // An edit lives only as long as the sheet.
    QObject *editor = AppFixture::find(panel, QStringLiteral("messageEditor"));
    QQuickItem *close = AppFixture::item(panel, QStringLiteral("closeButton"));
    ASSERT_TRUE(editor && close);
    editor->setProperty("text", QStringLiteral("Edited"));
    QPointer<QObject> closedPanel(panel);
    AppFixture::click(close);
    ASSERT_TRUE(AppFixture::waitFor([&] { return !app.showShareSheet(); }));
    EXPECT_TRUE(AppFixture::waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(AppFixture::waitFor([&] { return closedPanel.isNull(); })) << "the panel goes with the sheet";

    AppFixture::trigger(window, QStringLiteral("shareLoveItem"));
    EXPECT_TRUE(app.showShareSheet());
    ASSERT_TRUE(AppFixture::waitFor([&] { return sheet->property("visible").toBool(); }));
    EXPECT_EQ(property(sheet, QStringLiteral("messageEditor"), "text").toString(), message);
    // Escape dismisses it too, and the flag follows.
    app.setShowShareSheet(false);
    EXPECT_TRUE(AppFixture::waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(browser.opened.isEmpty());

    AppFixture::trigger(window, QStringLiteral("aboutItem"));
    QObject *about = AppFixture::find(window, QStringLiteral("aboutDialog"));
    ASSERT_TRUE(about && AppFixture::waitFor([&] { return about->property("visible").toBool(); }));
    EXPECT_EQ(property(about, QStringLiteral("aboutName"), "text").toString(), QStringLiteral("Vellory 2"));
    const QString version = property(about, QStringLiteral("aboutVersion"), "text").toString();
    ASSERT_TRUE(moraine::versionString());
    EXPECT_TRUE(version.contains(*moraine::versionString())) << version.toStdString();
}

// One settings window, whose "Start at login" switch writes the autostart
// entry; "Open Backup Folder" reveals this computer's folder while the
// destination is connected.
TEST_F(ShellCommands, TheSettingsWindowAndOpenBackupFolder)
{
    QTemporaryDir stick;
    const QString uuid = QStringLiteral("1A2B-3C4D");
    f.storeSet(setWithDestination(uuid, QStringLiteral("STICK"), stick.path()));
    platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
    QQuickWindow *window = f.launch();
    ASSERT_TRUE(window);
    AppFixture::trigger(window, QStringLiteral("settingsItem"));
    QQuickWindow *settings = f.app->router().window(QStringLiteral("settings"));
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->minimumWidth(), settings->maximumWidth());
    QObject *view = AppFixture::find(settings, QStringLiteral("updatesView"));
    ASSERT_TRUE(view);
    EXPECT_TRUE(QByteArray(view->metaObject()->className()).startsWith("NIMBSettingsView"));

    // "Start at login" is off until turned on; turning it on writes the
    // user's autostart entry.
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/com.brindlewick.vellory2.desktop");
    QFile::remove(entry);
    QObject *loginSwitch = AppFixture::find(settings, QStringLiteral("startAtLoginSwitch"));
    ASSERT_TRUE(loginSwitch);
    EXPECT_FALSE(loginSwitch->property("checked").toBool());
    loginSwitch->setProperty("checked", true);
    QMetaObject::invokeMethod(loginSwitch, "toggled");
    EXPECT_TRUE(QFile::exists(entry));
    QFile::remove(entry);

    AppFixture::trigger(window, QStringLiteral("settingsItem"));
    EXPECT_EQ(f.app->router().window(QStringLiteral("settings")), settings);

    QObject *item = AppFixture::menuItem(window, QStringLiteral("openBackupFolderItem"));
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->property("enabled").toBool());

    f.monitor.mount(fakeStick(uuid, QStringLiteral("STICK"), stick.path()));
    ASSERT_TRUE(AppFixture::waitFor([item] { return item->property("enabled").toBool(); }));
    // Before the first backup there is only the volume to show.
    AppFixture::trigger(window, QStringLiteral("openBackupFolderItem"));
    const QString folder = stick.path() + QStringLiteral("/Vellory/") + platform::computerName();
    ASSERT_TRUE(QDir().mkpath(folder));
    AppFixture::trigger(window, QStringLiteral("openBackupFolderItem"));
    EXPECT_EQ(browser.revealed, (QStringList{stick.path(), folder}));

    ASSERT_TRUE(f.monitor.unmount(stick.path()));
    EXPECT_TRUE(AppFixture::waitFor([item] { return !item->property("enabled").toBool(); }));
    EXPECT_TRUE(alerts.alerts.isEmpty());
}
