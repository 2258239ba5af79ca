#include "loopbackserver.h"
#include "updatetestsupport.h"

#include "Moraine/update/nimbsettingsmodel.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/buildinfo.h"

#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickView>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

namespace prefs = moraine::updateprefs;

// The settings tab loaded offscreen and driven like a person would.
class SettingsView : public UpdateTest
{
protected:
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
    void click(const char *name)
    {
        QQuickItem *item = find(name);
        ASSERT_TRUE(item->isVisible()) << name;
        QTest::qWait(20); // let the layouts settle
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    void choosePeriod(const QString &label)
    {
        QQuickItem *picker = find("checkFrequency");
        const int index = static_cast<int>(moraine::NIMBSettingsModel::periodLabels().indexOf(label));
        picker->setProperty("currentIndex", index);
        QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, index));
    }

    QString text(const char *name) { return find(name)->property("text").toString(); }

    QQuickView view;
};

TEST_F(SettingsView, IgnoreDebuggingOptionsChecksAndPeriodsWorkThroughTheTab)
{
    LoopbackServer server;
    // The view's checks run as this program, so the update must be newer than its build.
    const QByteArray newer = QByteArray::number(platform::buildinfo::buildNumber().toInt() + 100);
    server.page(QStringLiteral("/downloads.html"),
                signPage(pageTemplate(groupElement("next", newer, "2.0", "9.9.9",
                                                   "<a class=\"NIMBArchive ub\" href=\"https://downloads.example/n.tar.gz\"/>"))));
    services.setUpdatePageURL(server.url(QStringLiteral("/downloads.html")));
    setPref(prefs::kRemoteFileModDate, QStringLiteral("x"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(520, 640);
    view.setInitialProperties({{QStringLiteral("updateServices"), QVariant::fromValue(&services)}});
    view.setSource(QUrl(QStringLiteral("qrc:/Moraine/Update/NIMBSettingsView.qml")));
    ASSERT_EQ(view.status(), QQuickView::Ready) << qPrintable(view.errors().value(0).toString());
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    // The debugging options appear only from the context menu.
    EXPECT_FALSE(shown("debuggingOptions"));
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, QPoint(200, 300));
    auto *menu = find<QObject>("contextMenu");
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->property("opened").toBool(); }, 3000));
    click("showDebuggingOptionsItem");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown("debuggingOptions"); }, 3000));

    // The first silent check ever only schedules; Check Now finds the newer build and shows it.
    auto *model = view.rootObject()->property("model").value<moraine::NIMBSettingsModel *>();
    ASSERT_NE(model, nullptr);
    int finished = 0;
    QObject::connect(model, &moraine::NIMBSettingsModel::checkFinished, [&] { ++finished; });
    click("testSilentCheckButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    EXPECT_NE(text("nextCheck"), QStringLiteral("Not scheduled"));
    click("checkNowButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 20000));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 1);
    EXPECT_EQ(kit.browser.opened.size(), 1);
    EXPECT_TRUE(shown("availableUpdateRow"));
    EXPECT_EQ(text("availableUpdateText"), QStringLiteral("Version 9.9.9"));
    EXPECT_EQ(find<QObject>("logList")->property("count").toInt(), model->log().size());

    // Ignore, then cancel: the same update comes back.
    const QVariantMap update = pref(prefs::kCurrentUpdateInfo).toMap();
    ASSERT_FALSE(update.isEmpty());
    click("ignoreButton");
    EXPECT_FALSE(shown("availableUpdateRow"));
    EXPECT_EQ(text("ignoredVersionText"), QStringLiteral("Ignoring version 9.9.9"));
    EXPECT_EQ(pref(prefs::kIgnoreVersionInfo).toMap(), update);
    EXPECT_FALSE(platform::preferences()->contains(prefs::kCurrentUpdateInfo));
    EXPECT_FALSE(platform::preferences()->contains(prefs::kUpdateAvailable));
    click("cancelIgnoreButton");
    EXPECT_TRUE(shown("availableUpdateRow"));
    EXPECT_FALSE(shown("ignoredVersionRow"));
    EXPECT_EQ(pref(prefs::kCurrentUpdateInfo).toMap(), update);
    EXPECT_TRUE(pref(prefs::kUpdateAvailable).toBool());
    EXPECT_FALSE(platform::preferences()->contains(prefs::kIgnoreVersionInfo));

    // Reset forgets the update state but keeps the debugging choices.
    click("ignoreMaintenanceSwitch");
    click("ignoreButton");
    EXPECT_TRUE(shown("ignoredVersionRow"));
    click("resetSettingsButton");
    for (const QString &key : {prefs::kCurrentUpdateInfo, prefs::kNextUpdateCheck, prefs::kNextUpdateCheckPeriod,
                               prefs::kRemoteFileModDate, prefs::kIgnoreVersionInfo, prefs::kUpdateAvailable}) {
        EXPECT_FALSE(platform::preferences()->contains(key)) << key.toStdString();
    }
    EXPECT_TRUE(pref(prefs::kShowMoreOptions).toBool());
    EXPECT_TRUE(pref(prefs::kIgnoreMaintenance).toBool());
    EXPECT_FALSE(shown("ignoredVersionRow"));
    EXPECT_EQ(text("nextCheck"), QStringLiteral("Not scheduled"));
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
    EXPECT_FALSE(platform::preferences()->contains(prefs::kNextUpdateCheck));
    EXPECT_EQ(pref(prefs::kNextUpdateCheckPeriod).toDouble(), 0.0);
    choosePeriod(QStringLiteral("Weekly"));
    EXPECT_EQ(find("checkFrequency")->property("currentText").toString(), QStringLiteral("Default"));
}
