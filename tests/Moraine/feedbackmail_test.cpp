#include "Moraine/feedbackmail.h"
#include "Moraine/kitalert.h"
#include "fakesystemfacts.h"
#include "platform/buildinfo.h"
#include "querydecoding.h"
#include "recordingkit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <algorithm>

using moraine::MailUrlError;

const QString prompt = QStringLiteral("Please enter your message below:\n");
// Text that a careless encoder would cut, merge or mangle.
const QString awkward = QStringLiteral("Tom & Jerry + 50% off #1?\nsecond line\r\nder Bär = 熊 ✓ a=b;c/d");

TEST(FeedbackMail, SubjectAndBodyFollowTheirTemplatesAndARecipientWithPartsOfItsOwnIsRefused)
{
    const std::tuple<const char *, QString, const char *> rows[] = {
        {"<appName>: <appName>", QStringLiteral("V"), "V: V"},
        {"Hello <appname> & co", QStringLiteral("V"), "Hello <appname> & co"},
        {"<appName> Feedback", QString(), "Unknown Feedback"}};
    for (const auto &[format, name, subject] : rows) {
        EXPECT_EQ(moraine::feedbackSubject(QString::fromLatin1(format), name), QString::fromLatin1(subject)) << format;
    }
    const moraine::SystemReport report{QStringLiteral("L1a, L1b"), QStringLiteral("L2a, L2b"), QStringLiteral("L3a L3b")};
    EXPECT_EQ(moraine::feedbackBody(prompt, report),
              QStringLiteral("Please enter your message below:\n\n\nL1a, L1b\nL2a, L2b\nL3a L3b\n"));

    for (const QString to : {QStringLiteral("support@brindlewick.com?bcc=someone@example.com"),
                             QStringLiteral("support@brindlewick.com#x"), QStringLiteral("//evil.example/x"),
                             QStringLiteral("sup port@brindlewick.com"), QStringLiteral("a%zz@b")}) {
        EXPECT_EQ(moraine::mailUrl(to, QStringLiteral("s"), QStringLiteral("b")).error, MailUrlError::invalidBase)
            << to.toStdString();
    }
}

TEST(FeedbackMailOpen, AnUnusableAddressOnlyAlertsAndEachSentRequestOpensItsOwnMessageOnTheMainThread)
{
    RecordingKit kit;
    moraine::openMail(kit.services, QStringLiteral("x@y?cc=z@w"), QStringLiteral("s"), QStringLiteral("b"));
    QCoreApplication::processEvents();

    ASSERT_EQ(kit.alertPresenter.alerts.size(), 1);
    EXPECT_EQ(kit.alertPresenter.alerts[0].title, QStringLiteral("Unable to generate e-mail"));
    EXPECT_TRUE(kit.alertPresenter.alerts[0].informativeText.startsWith(QStringLiteral("Unable to create base URL.\n\n\nVersion: ")));
    EXPECT_TRUE(kit.alertPresenter.alerts[0].beep);

    FakeSystemFacts facts;
    const QString previousName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vellory 2"));
    moraine::sendFeedback(kit.services, QStringLiteral("<appName> Feedback"), awkward, facts);
    moraine::sendFeedback(kit.services, awkward, awkward, facts);
    QGuiApplication::setApplicationDisplayName(previousName);
    // With the background work done and the main loop not yet run, nothing is open.
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(kit.browser.opened.isEmpty()) << "the mail was opened off the main thread";
    ASSERT_TRUE(QTest::qWaitFor([&] { return kit.browser.opened.size() == 2; }, 10000));

    const QString body = moraine::feedbackBody(
        awkward, moraine::buildSystemReport(moraine::KMSystemInfo(facts), moraine::versionString()));
    QList<QueryList> mails;
    for (const QUrl &url : kit.browser.opened) {
        EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
        EXPECT_EQ(url.path(), platform::buildinfo::supportEmail());
        EXPECT_EQ(strictDecodedQuery(url), formDecodedQuery(url));
        mails.append(formDecodedQuery(url));
    }
    std::sort(mails.begin(), mails.end());
    const auto mail = [&](const QString &subject) {
        return QueryList{{QStringLiteral("subject"), subject}, {QStringLiteral("body"), body}};
    };
    EXPECT_EQ(mails, (QList<QueryList>{mail(awkward), mail(QStringLiteral("Vellory 2 Feedback"))}));
    EXPECT_EQ(kit.alertPresenter.alerts.size(), 1) << "a usable address does not alert";
}

TEST(KitAlert, InformativeTextNamesVersionAndSystemAndAlertsQueueOnTheMainThreadInOrder)
{
    EXPECT_EQ(moraine::versionString(QStringLiteral("2.0.1"), QStringLiteral("57")), QStringLiteral("2.0.1 (57)"));
    EXPECT_EQ(moraine::versionString(QStringLiteral("2.0.1"), QString()), QStringLiteral("2.0.1"));
    EXPECT_FALSE(moraine::versionString(QString(), QString()).has_value());
    const auto withBuildOnly = moraine::makeKitAlert(QStringLiteral("T"), QStringLiteral("m"), QStringLiteral("d"), true,
                                                     moraine::versionString(QString(), QStringLiteral("57")), QStringLiteral("X"));
    EXPECT_EQ(withBuildOnly.informativeText, QStringLiteral("m\nd\n\nVersion: 57\nX"));

    RecordingAlertPresenter recorder;
    moraine::KitAlerts kitAlerts(recorder);
    QThread *worker = QThread::create([&kitAlerts] {
        kitAlerts.showAlert(QStringLiteral("first"), QStringLiteral("a"), QString(), false);
        kitAlerts.showAlert(QStringLiteral("second"), QStringLiteral("b"), QString(), false);
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_TRUE(recorder.alerts.isEmpty()) << "alert shown synchronously on the caller's thread";
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.alerts.size(), 2);
    EXPECT_EQ(recorder.alerts[0].title, QStringLiteral("first"));
    EXPECT_EQ(recorder.alerts[1].title, QStringLiteral("second"));
    const moraine::SystemReport report =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts()), std::nullopt);
    const QString systemItem = report.line2.section(QStringLiteral(", "), 0, 0);
    EXPECT_TRUE(recorder.alerts[1].informativeText.endsWith(QLatin1Char('\n') + systemItem))
        << recorder.alerts[1].informativeText.toStdString();
}
