#include "loopbackserver.h"
#include "recordingurlopener.h"
#include "updatetestsupport.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "Moraine/update/nimbsettingsmodel.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/buildinfo.h"
#include "platform/preferences.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickView>
#include <QTest>
#include <QUrlQuery>
#include <QtQml/QQmlExtensionPlugin>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

using moraine::NIMBLite;
namespace prefs = moraine::updateprefs;

// The settings tab loaded offscreen and driven like a person would.
class SettingsView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clearUpdatePreferences();
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        view.engine()->addImportPath(QStringLiteral("qrc:/"));
    }
    void TearDown() override
    {
        moraine::NIMBProgressWindow::dismiss();
        NIMBLite::setUpdatePageURL(std::nullopt);
        NIMBLite::setPublicKey(std::nullopt);
        clearUpdatePreferences();
    }

    void load()
    {
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        view.resize(520, 640);
        view.setSource(QUrl(QStringLiteral("qrc:/Moraine/Update/NIMBSettingsView.qml")));
        ASSERT_EQ(view.status(), QQuickView::Ready) << qPrintable(view.errors().value(0).toString());
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    template<typename T = QQuickItem>
    T *find(const char *name)
    {
        T *item = view.rootObject()->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }

    // Shown on screen, including every ancestor.
    bool shown(const char *name) { return find(name)->isVisible(); }

    // A real click in the middle of a visible item.
    void click(const char *name, Qt::MouseButton button = Qt::LeftButton)
    {
        QQuickItem *item = find(name);
        ASSERT_TRUE(item->isVisible()) << name;
        QTest::qWait(20); // let the layouts settle
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&view, button, Qt::NoModifier, centre.toPoint());
    }

    void choosePeriod(const QString &label)
    {
        QQuickItem *picker = find("checkFrequency");
        const int index = static_cast<int>(moraine::NIMBSettingsModel::periodLabels().indexOf(label));
        picker->setProperty("currentIndex", index);
        QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, index));
    }

    QString text(const char *name) { return find(name)->property("text").toString(); }
    static QVariant pref(const QString &key) { return platform::preferences()->value(key); }
    static void setPref(const QString &key, const QVariant &value) { platform::preferences()->setValue(key, value); }

    QQuickView view;
};

TEST_F(SettingsView, IgnoreThenCancelRestoresTheSameUpdate)
{
    const QVariantMap update{{prefs::kGroupID, QStringLiteral("v220")},
                             {prefs::kDisplayVersion, QStringLiteral("2.2.0")},
                             {prefs::kBuildNumber, 120}};
    setPref(prefs::kCurrentUpdateInfo, update);
    setPref(prefs::kUpdateAvailable, true);
    load();
    EXPECT_TRUE(shown("availableUpdateRow"));
    EXPECT_FALSE(shown("ignoredVersionRow"));
    EXPECT_EQ(text("availableUpdateText"), QStringLiteral("Version 2.2.0"));
    EXPECT_EQ(find("ignoreButton")->property("text").toString(), QStringLiteral(" Ignore "));

    click("ignoreButton");
    EXPECT_FALSE(shown("availableUpdateRow"));
    EXPECT_TRUE(shown("ignoredVersionRow"));
    EXPECT_EQ(text("ignoredVersionText"), QStringLiteral("Ignoring version 2.2.0"));
    EXPECT_EQ(pref(prefs::kIgnoreVersionInfo).toMap(), update);
    EXPECT_FALSE(platform::preferences()->contains(prefs::kCurrentUpdateInfo));
    EXPECT_FALSE(platform::preferences()->contains(prefs::kUpdateAvailable));

    click("cancelIgnoreButton");
    EXPECT_TRUE(shown("availableUpdateRow"));
    EXPECT_FALSE(shown("ignoredVersionRow"));
    EXPECT_EQ(pref(prefs::kCurrentUpdateInfo).toMap(), update);
    EXPECT_TRUE(pref(prefs::kUpdateAvailable).toBool());
    EXPECT_FALSE(platform::preferences()->contains(prefs::kIgnoreVersionInfo));
}

TEST_F(SettingsView, DebuggingOptionsAppearOnlyFromTheContextMenuAndSurviveResetAndPeriodsSchedule)
{
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addDays(3));
    setPref(prefs::kNextUpdateCheckPeriod, 86400.0);
    setPref(prefs::kIgnoreVersionInfo, QVariantMap{{prefs::kBuildNumber, 110}});
    setPref(prefs::kRemoteFileModDate, QStringLiteral("x"));
    load();
    EXPECT_FALSE(shown("debuggingOptions"));
    EXPECT_TRUE(shown("ignoredVersionRow"));
    EXPECT_NE(text("nextCheck"), QStringLiteral("Not scheduled"));

    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, QPoint(200, 300));
    auto *menu = find<QObject>("contextMenu");
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->property("opened").toBool(); }, 3000));
    click("showDebuggingOptionsItem");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown("debuggingOptions"); }, 3000));
    EXPECT_TRUE(pref(prefs::kShowMoreOptions).toBool());

    click("ignoreMaintenanceSwitch");
    EXPECT_TRUE(pref(prefs::kIgnoreMaintenance).toBool());

    click("resetSettingsButton");
    for (const QString &key : {prefs::kCurrentUpdateInfo, prefs::kNextUpdateCheck, prefs::kNextUpdateCheckPeriod,
                               prefs::kRemoteFileModDate, prefs::kIgnoreVersionInfo, prefs::kUpdateAvailable}) {
        EXPECT_FALSE(platform::preferences()->contains(key)) << key.toStdString();
    }
    EXPECT_TRUE(pref(prefs::kShowMoreOptions).toBool());
    EXPECT_TRUE(pref(prefs::kIgnoreMaintenance).toBool());
    EXPECT_TRUE(shown("debuggingOptions"));
    EXPECT_FALSE(shown("ignoredVersionRow"));
    EXPECT_EQ(text("nextCheck"), QStringLiteral("Not scheduled"));
    EXPECT_EQ(find("checkFrequency")->property("currentText").toString(), QStringLiteral("Default"));

    // Turning the switch off hides the options again.
    click("showDebuggingSwitch");
    EXPECT_FALSE(shown("debuggingOptions"));

    // Daily schedules a day ahead, Never unschedules; Weekly is the same
    // number of seconds as Default, which is what shows.
    const QDateTime before = QDateTime::currentDateTimeUtc();
    choosePeriod(QStringLiteral("Daily"));
    const QDateTime next = pref(prefs::kNextUpdateCheck).toDateTime();
    EXPECT_NEAR(before.secsTo(next), 86400, 5);
    EXPECT_EQ(pref(prefs::kNextUpdateCheckPeriod).toDouble(), 86400.0);
    EXPECT_TRUE(text("nextCheck").contains(QLocale().toString(next.toLocalTime().date(), QStringLiteral("MMM d, yyyy"))));
    choosePeriod(QStringLiteral("Never"));
    EXPECT_EQ(text("nextCheck"), QStringLiteral("Not scheduled"));
    EXPECT_FALSE(platform::preferences()->contains(prefs::kNextUpdateCheck));
    EXPECT_EQ(pref(prefs::kNextUpdateCheckPeriod).toDouble(), 0.0);
    choosePeriod(QStringLiteral("Weekly"));
    EXPECT_EQ(find("checkFrequency")->property("currentText").toString(), QStringLiteral("Default"));
}

TEST_F(SettingsView, TestAndCheckNowKeepTheLogOfTheirChecks)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening());
    RecordingUrlOpener browser;
    // The view's checks run as this program, so the update must be newer than its build.
    const QByteArray newer = QByteArray::number(platform::buildinfo::buildNumber().toInt() + 100);
    server.page(QStringLiteral("/downloads.html"),
                signPage(pageTemplate(groupElement("next", newer, "2.0", "9.9.9",
                                                   "<a class=\"NIMBArchive ub\" href=\"https://downloads.example/n.tar.gz\"/>"))));
    NIMBLite::setUpdatePageURL(server.url(QStringLiteral("/downloads.html")));
    NIMBLite::setPublicKey(publisherKey().publicKey);
    setPref(prefs::kShowMoreOptions, true);
    load();
    auto *model = view.rootObject()->property("model").value<moraine::NIMBSettingsModel *>();
    ASSERT_NE(model, nullptr);

    // First silent check ever: it only schedules.
    int finished = 0;
    QObject::connect(model, &moraine::NIMBSettingsModel::checkFinished, [&] { ++finished; });
    click("testSilentCheckButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    EXPECT_TRUE(model->log().contains(QStringLiteral("No NIMBNextUpdateCheck set, so we'll create one")));
    EXPECT_NE(text("nextCheck"), QStringLiteral("Not scheduled"));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);

    click("checkNowButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 20000));
    EXPECT_TRUE(model->log().contains(QStringLiteral("--- performManualCheck()")));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 1);
    ASSERT_EQ(browser.opened.size(), 1);
    // The manual check found the newer build and the view shows it.
    EXPECT_TRUE(shown("availableUpdateRow"));
    EXPECT_EQ(text("availableUpdateText"), QStringLiteral("Version 9.9.9"));
    EXPECT_EQ(QUrlQuery(browser.opened.first()).queryItemValue(QStringLiteral("newver")), QStringLiteral("9.9.9"));
    auto *list = find<QObject>("logList");
    EXPECT_EQ(list->property("count").toInt(), model->log().size());
}
