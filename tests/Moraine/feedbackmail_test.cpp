// The kit alert, and the feedback mail with the system report.
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

using moraine::MailUrlError;

const QString prompt = QStringLiteral("Please enter your message below:\n");

TEST(FeedbackMail, SubjectBodyAndAddressCarryTheirTextExactly)
{
    const std::tuple<const char *, QString, const char *> rows[] = {
        {"<appName> Feedback", QStringLiteral("V 2"), "V 2 Feedback"},
        {"<appName>: <appName>", QStringLiteral("V"), "V: V"},
        {"Hello <appname> & co", QStringLiteral("V"), "Hello <appname> & co"},
        {"<appName> Feedback", QString(), "Unknown Feedback"}};
    for (const auto &[format, name, subject] : rows) {
        EXPECT_EQ(moraine::feedbackSubject(QString::fromLatin1(format), name), QString::fromLatin1(subject)) << format;
    }
    const moraine::SystemReport report{QStringLiteral("L1a, L1b"), QStringLiteral("L2a, L2b"), QStringLiteral("L3a L3b")};
    EXPECT_EQ(moraine::feedbackBody(prompt, report),
              QStringLiteral("Please enter your message below:\n\n\nL1a, L1b\nL2a, L2b\nL3a L3b\n"));

    // The address: the recipient, then exactly subject and body in text that a careless
    // encoder would cut, merge or mangle; a recipient with parts of its own is refused.
    const QString awkward = QStringLiteral("Tom & Jerry + 50% off #1?\nsecond line\r\nder Bär = 熊 ✓ a=b;c/d");
    const auto mail = moraine::mailUrl(QStringLiteral("support@brindlewick.com"), awkward, awkward + awkward);
    ASSERT_EQ(mail.error, MailUrlError::none);
    EXPECT_EQ(mail.url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.url.path(), QStringLiteral("support@brindlewick.com"));
    const QueryList items{{QStringLiteral("subject"), awkward}, {QStringLiteral("body"), awkward + awkward}};
    EXPECT_EQ(formDecodedQuery(mail.url), items);
    EXPECT_EQ(strictDecodedQuery(mail.url), items);

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
    const RecordingUrlOpener &opener = kit.browser;
    const RecordingAlertPresenter &alerts = kit.alertPresenter;
    moraine::openMail(kit.services, QStringLiteral("x@y?cc=z@w"), QStringLiteral("s"), QStringLiteral("b"));
    QCoreApplication::processEvents();

    EXPECT_TRUE(opener.opened.isEmpty());
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_EQ(alerts.alerts[0].title, QStringLiteral("Unable to generate e-mail"));
    EXPECT_TRUE(alerts.alerts[0].informativeText.startsWith(QStringLiteral("Unable to create base URL.\n\n\nVersion: ")));
    EXPECT_TRUE(alerts.alerts[0].beep);

    // Each request composes its mail to support (subject resolved, the machine's
    // report in the body) in the background and opens it on the main thread.
    FakeSystemFacts facts;
    facts.dropFirmware(); // the report's console line goes to stdout; harmless
    const QString previousName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vellory 2"));
    moraine::sendFeedback(kit.services, QStringLiteral("<appName> Feedback"), prompt, facts);
    moraine::sendFeedback(kit.services, QStringLiteral("Second"), prompt, facts);
    QGuiApplication::setApplicationDisplayName(previousName);
    // With the background work done and the main loop not yet run, nothing is open.
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(opener.opened.isEmpty()) << "the mail was opened off the main thread";
    ASSERT_TRUE(QTest::qWaitFor([&] { return opener.opened.size() == 2; }, 10000));

    const QString body = moraine::feedbackBody(
        prompt, moraine::buildSystemReport(moraine::KMSystemInfo(facts), moraine::versionString()));
    QStringList subjects;
    for (const QUrl &url : opener.opened) {
        EXPECT_EQ(url.path(), platform::buildinfo::supportEmail());
        const QueryList items = formDecodedQuery(url);
        ASSERT_EQ(items.size(), 2);
        subjects.append(items[0].second);
        EXPECT_EQ(items[1].second, body);
    }
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{QStringLiteral("Second"), QStringLiteral("Vellory 2 Feedback")}));
    EXPECT_EQ(alerts.alerts.size(), 1) << "a usable address does not alert";
}

// The informative text names the version from its parts and the system as
// the feedback report does; alerts from any thread queue on the main thread.
TEST(KitAlert, InformativeTextNamesVersionAndSystemAndAlertsQueueOnTheMainThreadInOrder)
{
    EXPECT_EQ(moraine::versionString(QStringLiteral("2.0.1"), QStringLiteral("57")), QStringLiteral("2.0.1 (57)"));
    EXPECT_EQ(moraine::versionString(QStringLiteral("2.0.1"), QString()), QStringLiteral("2.0.1"));
    EXPECT_FALSE(moraine::versionString(QString(), QString()).has_value());
    const auto withBuildOnly = moraine::makeKitAlert(QStringLiteral("T"), QStringLiteral("m"), QStringLiteral("d"), true,
                                                     moraine::versionString(QString(), QStringLiteral("57")), QStringLiteral("X"));
    EXPECT_EQ(withBuildOnly.informativeText, QStringLiteral("m\nd\n\nVersion: 57\nX"));
    EXPECT_TRUE(withBuildOnly.beep);

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
    EXPECT_TRUE(recorder.alerts[1].informativeText.contains(QStringLiteral("\n\nVersion: ")));
    // The system is named as in the feedback report's second line.
    const moraine::SystemReport report =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts()), std::nullopt);
    const QString systemItem = report.line2.section(QStringLiteral(", "), 0, 0);
    EXPECT_TRUE(recorder.alerts[1].informativeText.endsWith(QLatin1Char('\n') + systemItem))
        << recorder.alerts[1].informativeText.toStdString();
}
