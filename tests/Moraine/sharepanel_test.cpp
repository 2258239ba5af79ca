#include "Moraine/sharetargets.h"
#include "platform/buildinfo.h"
#include "querydecoding.h"
#include "recordingkit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(MorainePlugin)

const QString product = QStringLiteral("https://www.brindlewick.com/vellory/?from=app&x=1");

TEST(ShareTargets, TheTextFollowsTheMessageAndAnAddressThatCannotBeFormedOpensNothing)
{
    EXPECT_EQ(moraine::shareText(QStringLiteral("Hi"), QStringLiteral("Vellory"), QStringLiteral("https://p/")),
              QStringLiteral("Hi\n\nTry Vellory Today https://p/\n\n#indieDev"));
    RecordingUrlOpener opener;
    EXPECT_FALSE(moraine::facebookShareUrl(QStringLiteral("not a host"), product).has_value());
    moraine::openComponents(opener, moraine::intentShareUrl(QString(), QStringLiteral("t")));
    moraine::openComponents(opener, QUrl());
    EXPECT_TRUE(opener.opened.isEmpty());
}

// The panel as shown: the edited message, hashtags and all, reaches every
// share and the clipboard but Facebook, which gets only the product page.
TEST(SharePanelView, AnEditedMessageReachesEveryShareButFacebookAndCloseAsksToDismissLater)
{
    RecordingKit kit;
    QQmlEngine engine;
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Moraine/SharePanel2025.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> panel(component.createWithInitialProperties(
        {{QStringLiteral("appName"), QStringLiteral("Vellory")},
         {QStringLiteral("emailSubject"), QStringLiteral("Vellory 2 - Backups & more")},
         {QStringLiteral("message"), QStringLiteral("Initial text")},
         {QStringLiteral("targetURL"), product},
         {QStringLiteral("kit"), QVariant::fromValue(&kit.services)}}));
    ASSERT_TRUE(panel) << component.errorString().toStdString();
    const auto press = [&](const char *name) {
        QObject *button = panel->findChild<QObject *>(QString::fromLatin1(name));
        ASSERT_TRUE(button) << name;
        QMetaObject::invokeMethod(button, "clicked");
    };
    auto *editor = panel->findChild<QObject *>(QStringLiteral("messageEditor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->property("text").toString(), QStringLiteral("Initial text"));

    // Text that a careless encoder would cut, merge or mangle.
    const QString edited = QStringLiteral("Edited! 50% + more & #backup #linux\nnext ✓");
    editor->setProperty("text", edited);
    for (const char *button : {"shareByMailButton", "shareOnThreadsButton", "shareOnXButton", "copyMessageButton",
                               "shareOnFacebookButton"}) {
        press(button);
    }
    const QString expected = moraine::shareText(edited, QStringLiteral("Vellory"), product);
    ASSERT_EQ(kit.browser.opened.size(), 4);
    const QUrl &mail = kit.browser.opened[0];
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(mail.path().isEmpty()) << "the e-mail share has no recipient";
    EXPECT_EQ(formDecodedQuery(mail), (QueryList{{QStringLiteral("subject"), QStringLiteral("Vellory 2 - Backups & more")},
                                                 {QStringLiteral("body"), expected}}));
    EXPECT_EQ(strictDecodedQuery(mail), formDecodedQuery(mail));
    for (const auto &[url, host, path] :
         {std::tuple{kit.browser.opened[1], platform::buildinfo::shareThreadsHost(), QStringLiteral("/intent/post")},
          std::tuple{kit.browser.opened[2], platform::buildinfo::shareXHost(), QStringLiteral("/intent/tweet")}}) {
        EXPECT_EQ(url.host(), QUrl(host).host());
        EXPECT_EQ(url.path(), path);
        EXPECT_EQ(formDecodedQuery(url), (QueryList{{QStringLiteral("text"), expected}}));
    }
    // The product page's own '&' and '?' stay inside the value.
    EXPECT_EQ(kit.browser.opened[3].host(), QUrl(platform::buildinfo::shareFacebookHost()).host());
    EXPECT_EQ(kit.browser.opened[3].path(), QStringLiteral("/sharer/sharer.php"));
    EXPECT_EQ(formDecodedQuery(kit.browser.opened[3]),
              (QueryList{{QStringLiteral("display"), QStringLiteral("page")}, {QStringLiteral("u"), product}}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    QSignalSpy closeRequests(panel.get(), SIGNAL(closeRequested()));
    press("closeButton");
    EXPECT_EQ(closeRequests.count(), 0) << "the sheet is dismissed from a later main-loop turn";
    EXPECT_TRUE(QTest::qWaitFor([&] { return closeRequests.count() == 1; }, 2000));
}
