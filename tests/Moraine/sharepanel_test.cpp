#include "Moraine/sharetargets.h"
#include "platform/buildinfo.h"
#include "querydecoding.h"
#include "recordingurlopener.h"
#include "sharepanelmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
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
              QStringLiteral("Hi\n\nTry Vellory Today https://p/\n\n#indiedMacDev #indieDev"));
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
    EXPECT_FALSE(moraine::intentShareUrl(QString(), QStringLiteral("t")).has_value());
    moraine::openComponents(moraine::intentShareUrl(QString(), QStringLiteral("t")));
    moraine::openComponents(QUrl());
    EXPECT_TRUE(opener.opened.isEmpty());
}

// Facebook gets only the product page, never the message.
TEST(SharePanelModel, AnEditedMessageWithHashtagsReachesEveryLaterShareButFacebookAndTheClipboard)
{
    RecordingUrlOpener opener;
    moraine::SharePanelModel model;
    model.setAppName(QStringLiteral("Vellory"));
    model.setEmailSubject(QStringLiteral("Vellory 2 - Backups & more"));
    model.setTargetURL(product);
    model.setMessage(QStringLiteral("Vellory backs up to a USB drive."));
    const QString edited = QStringLiteral("Edited! #backup #linux");
    model.setMessage(edited);
    const QString expected = moraine::shareText(edited, QStringLiteral("Vellory"), product);

    model.shareByMail();
    model.shareWithIntent(model.threadsIntentURL());
    model.shareWithIntent(model.xIntentURL());
    model.copyMessage();
    model.shareOnFacebook();

    ASSERT_EQ(opener.opened.size(), 4);
    EXPECT_EQ(valueOf(opener.opened[3], QStringLiteral("u")), product);
    EXPECT_FALSE(QString::fromUtf8(opener.opened[3].toEncoded()).contains(QStringLiteral("Edited")));
    EXPECT_EQ(valueOf(opener.opened[0], QStringLiteral("subject")), QStringLiteral("Vellory 2 - Backups & more"));
    EXPECT_EQ(valueOf(opener.opened[0], QStringLiteral("body")), expected);
    EXPECT_EQ(valueOf(opener.opened[1], QStringLiteral("text")), expected);
    EXPECT_EQ(valueOf(opener.opened[2], QStringLiteral("text")), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
}

TEST(SharePanelView, EditorDrivesTheSharesAndCloseAsksToDismissLater)
{
    RecordingUrlOpener opener;
    QQmlEngine engine;
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Moraine/SharePanel2025.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> panel(component.createWithInitialProperties(
        {{QStringLiteral("appName"), QStringLiteral("Vellory")},
         {QStringLiteral("emailSubject"), QStringLiteral("Vellory 2 - subject")},
         {QStringLiteral("message"), QStringLiteral("Initial text")},
         {QStringLiteral("targetURL"), product}}));
    ASSERT_TRUE(panel) << component.errorString().toStdString();
    auto *item = qobject_cast<QQuickItem *>(panel.get());
    ASSERT_TRUE(item);

    auto *editor = panel->findChild<QObject *>(QStringLiteral("messageEditor"));
    auto *xButton = panel->findChild<QObject *>(QStringLiteral("shareOnXButton"));
    auto *closeButton = panel->findChild<QObject *>(QStringLiteral("closeButton"));
    ASSERT_TRUE(editor && xButton && closeButton);
    EXPECT_EQ(editor->property("text").toString(), QStringLiteral("Initial text"));

    editor->setProperty("text", QStringLiteral("Typed #tag"));
    QMetaObject::invokeMethod(xButton, "clicked");
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(valueOf(opener.opened[0], QStringLiteral("text")),
              moraine::shareText(QStringLiteral("Typed #tag"), QStringLiteral("Vellory"), product));

    QSignalSpy closeRequests(panel.get(), SIGNAL(closeRequested()));
    QMetaObject::invokeMethod(closeButton, "clicked");
    EXPECT_EQ(closeRequests.count(), 0) << "the sheet is dismissed from a later main-loop turn";
    EXPECT_TRUE(QTest::qWaitFor([&] { return closeRequests.count() == 1; }, 2000));
}
