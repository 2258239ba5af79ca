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

namespace {

const QString product = QStringLiteral("https://www.brindlewick.com/vellory/?from=app&x=1");

QString valueOf(const QUrl &url, const QString &key)
{
    for (const auto &[k, v] : formDecodedQuery(url)) {
        if (k == key) {
            return v;
        }
    }
    return QStringLiteral("<missing>");
}

} // namespace

TEST(ShareTargets, TheTextFollowsTheMessageAndEachTargetHasItsPathAndExactlyItsQueryItemsInOrderOrOpensNothing)
{
    EXPECT_EQ(moraine::shareText(QStringLiteral("Hi"), QStringLiteral("Vellory"), QStringLiteral("https://p/")),
              QStringLiteral("Hi\n\nTry Vellory Today https://p/\n\n#indieDev"));
    const QString text = QStringLiteral("50% + more & #tags\nnext ✓");

    const auto mail = moraine::mailShareUrl(QStringLiteral("Sub & ject"), text);
    ASSERT_TRUE(mail.has_value());
    EXPECT_EQ(mail->scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(mail->path().isEmpty()) << "the e-mail share has no recipient";
    EXPECT_EQ(formDecodedQuery(*mail),
              (QueryList{{QStringLiteral("subject"), QStringLiteral("Sub & ject")}, {QStringLiteral("body"), text}}));
    EXPECT_EQ(strictDecodedQuery(*mail), formDecodedQuery(*mail));

    const auto facebook = moraine::facebookShareUrl(QStringLiteral("https://www.facebook.com"), product);
    ASSERT_TRUE(facebook.has_value());
    EXPECT_EQ(facebook->host(), QStringLiteral("www.facebook.com"));
    EXPECT_EQ(facebook->path(), QStringLiteral("/sharer/sharer.php"));
    EXPECT_EQ(formDecodedQuery(*facebook),
              (QueryList{{QStringLiteral("display"), QStringLiteral("page")}, {QStringLiteral("u"), product}}))
        << "the product page's own '&' and '?' stay inside the value";

    for (const auto &[intent, host, path] :
         {std::tuple{moraine::threadsIntentURL(), platform::buildinfo::shareThreadsHost(), QStringLiteral("/intent/post")},
          std::tuple{moraine::xIntentURL(), platform::buildinfo::shareXHost(), QStringLiteral("/intent/tweet")}}) {
        const auto url = moraine::intentShareUrl(intent, text);
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->path(), path);
        EXPECT_EQ(url->host(), QUrl(host).host());
        EXPECT_EQ(formDecodedQuery(*url), (QueryList{{QStringLiteral("text"), text}}));
    }

    // An address that cannot be formed opens nothing.
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
    const RecordingUrlOpener &opener = kit.browser;
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

    const QString edited = QStringLiteral("Edited! #backup #linux");
    editor->setProperty("text", edited);
    for (const char *button : {"shareByMailButton", "shareOnThreadsButton", "shareOnXButton", "copyMessageButton",
                               "shareOnFacebookButton"}) {
        press(button);
    }
    const QString expected = moraine::shareText(edited, QStringLiteral("Vellory"), product);
    ASSERT_EQ(opener.opened.size(), 4);
    EXPECT_EQ(valueOf(opener.opened[3], QStringLiteral("u")), product);
    EXPECT_FALSE(QString::fromUtf8(opener.opened[3].toEncoded()).contains(QStringLiteral("Edited")));
    EXPECT_EQ(valueOf(opener.opened[0], QStringLiteral("subject")), QStringLiteral("Vellory 2 - Backups & more"));
    EXPECT_EQ(valueOf(opener.opened[0], QStringLiteral("body")), expected);
    EXPECT_EQ(opener.opened[1].host(), QUrl(platform::buildinfo::shareThreadsHost()).host());
    EXPECT_EQ(valueOf(opener.opened[1], QStringLiteral("text")), expected);
    EXPECT_EQ(opener.opened[2].host(), QUrl(platform::buildinfo::shareXHost()).host());
    EXPECT_EQ(valueOf(opener.opened[2], QStringLiteral("text")), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    QSignalSpy closeRequests(panel.get(), SIGNAL(closeRequested()));
    press("closeButton");
    EXPECT_EQ(closeRequests.count(), 0) << "the sheet is dismissed from a later main-loop turn";
    EXPECT_TRUE(QTest::qWaitFor([&] { return closeRequests.count() == 1; }, 2000));
}
