#include "loopbackserver.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"
#include "updatetestsupport.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "Moraine/update/updatewebpage.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/preferences.h"

#include <QDateTime>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>

using moraine::NIMBLite;
using moraine::NIMBLiteStatus;
using moraine::NIMBProgressWindow;
namespace prefs = moraine::updateprefs;

// Real checks against pages served on 127.0.0.1.
class UpdateCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        clearUpdatePreferences();
        NIMBLite::setPublicKey(publisherKey().publicKey);
        NIMBLite::setUpdatePageURL(server.url(QStringLiteral("/downloads.html")));
        server.page(QStringLiteral("/downloads.html"), signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    }
    void TearDown() override
    {
        NIMBProgressWindow::dismiss();
        NIMBLite::setPublicKey(std::nullopt);
        NIMBLite::setUpdatePageURL(std::nullopt);
        clearUpdatePreferences();
    }

    static void setPref(const QString &key, const QVariant &value) { platform::preferences()->setValue(key, value); }
    static QVariant pref(const QString &key) { return platform::preferences()->value(key); }

    // Runs a check to its one completion.
    void run(NIMBLite &check, const std::function<void()> &start)
    {
        CompletionCounter completions(check);
        start();
        ASSERT_TRUE(completions.waitForCompletion()) << check.log().join(QLatin1Char('\n')).toStdString();
        completions.settle();
        EXPECT_EQ(completions.count(), 1) << "a check ends with exactly one completion";
    }

    LoopbackServer server;
    RecordingUrlOpener browser;
    RecordingAlertPresenter alerts;
};

TEST_F(UpdateCheck, FirstLaunchSchedulesTheNextCheckWithoutContactingTheServer)
{
    NIMBLite check(facts());
    const QDateTime before = QDateTime::currentDateTimeUtc();
    run(check, [&] { check.performSilentCheck(); });
    EXPECT_TRUE(logHas(check, QStringLiteral("No NIMBNextUpdateCheck set, so we'll create one")));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);
    const QDateTime next = pref(prefs::kNextUpdateCheck).toDateTime();
    EXPECT_NEAR(before.secsTo(next), 604800, 5);
    EXPECT_EQ(check.status(), NIMBLiteStatus::busy);

    // The second launch finds the date ahead and waits.
    NIMBLite second(facts());
    run(second, [&] { second.performSilentCheck(); });
    EXPECT_TRUE(logHasPrefix(second, QStringLiteral("Still ")));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);
}

TEST_F(UpdateCheck, PeriodNeverOnlySaysSo)
{
    setPref(prefs::kNextUpdateCheckPeriod, 0.0);
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addDays(-3));
    NIMBLite check(facts());
    run(check, [&] { check.performSilentCheck(); });
    EXPECT_EQ(check.log(), (QStringList{QStringLiteral("--- performSilentCheck()"),
                                        QStringLiteral("NIMBNextUpdateCheckPeriod is set to never.")}));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);
}

TEST_F(UpdateCheck, AStoredUpdateIsReportedUntilItIsInstalledThenFlushed)
{
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addDays(-1));
    setPref(prefs::kCurrentUpdateInfo, QVariantMap{{prefs::kGroupID, QStringLiteral("v220")},
                                                   {prefs::kDisplayVersion, QStringLiteral("2.2.0")},
                                                   {prefs::kBuildNumber, 120}});
    setPref(prefs::kUpdateAvailable, true);
    setPref(prefs::kIgnoreVersionInfo, QVariantMap{{prefs::kBuildNumber, 110}});

    NIMBLite before(facts(QStringLiteral("100")));
    run(before, [&] { before.performSilentCheck(); });
    EXPECT_EQ(before.status(), NIMBLiteStatus::updateAvailable);
    EXPECT_TRUE(logHas(before, QStringLiteral("build:120 available, we're on 100")));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);

    NIMBLite after(facts(QStringLiteral("120")));
    run(after, [&] { after.performSilentCheck(); });
    EXPECT_TRUE(logHas(after, QStringLiteral("We're using build:120; update: 120; we'll flush the data and next time we'll do a check.")));
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid());
    EXPECT_FALSE(pref(prefs::kUpdateAvailable).isValid());
    EXPECT_FALSE(pref(prefs::kIgnoreVersionInfo).isValid());
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 0);
}

TEST_F(UpdateCheck, ADueSilentCheckFetchesThePageAndMovesTheSchedule)
{
    setPref(prefs::kNextUpdateCheckPeriod, 86400.0);
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addSecs(-10));
    NIMBLite check(facts());
    bool ownCompletionRan = false;
    CompletionCounter completions(check);
    check.setOnCompletion([&] { ownCompletionRan = true; });
    check.performSilentCheck();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ownCompletionRan; }, 20000)) << check.log().join('\n').toStdString();
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 1);
    EXPECT_EQ(check.status(), NIMBLiteStatus::updateAvailable);
    EXPECT_TRUE(logHasPrefix(check, QStringLiteral("--- checkURL(inURLString:sender:); cachePolicy:.useProtocolCachePolicy")));
    EXPECT_TRUE(logHas(check, QStringLiteral("--- processHTML(_:sender:)")));
    EXPECT_TRUE(logHasPrefix(check, QStringLiteral("Server response: 200; Wed, 01 Jan 2025 10:00:00 GMT; size: ")));
    EXPECT_NEAR(QDateTime::currentDateTimeUtc().secsTo(pref(prefs::kNextUpdateCheck).toDateTime()), 86400, 5);
    EXPECT_TRUE(pref(prefs::kUpdateAvailable).toBool());
}

TEST_F(UpdateCheck, ServerAndNetworkFailuresEndTheCheckOnceWithAnError)
{
    NIMBLite missing(facts());
    run(missing, [&] { missing.checkURL(server.url(QStringLiteral("/nothing.html")), std::nullopt); });
    EXPECT_EQ(missing.errorMessage(), QStringLiteral("Error: Server said 404 Not Found"));

    NIMBLite tampered(facts());
    QByteArray page = signPage(fixture(QStringLiteral("downloads-page.xhtml")));
    page.replace("build=\"120\"", "build=\"125\"");
    server.page(QStringLiteral("/tampered.html"), page);
    run(tampered, [&] { tampered.checkURL(server.url(QStringLiteral("/tampered.html")), std::nullopt); });
    EXPECT_TRUE(tampered.errorMessage()->startsWith(QStringLiteral("Failed to validate ")));
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid());

    NIMBLite empty(facts());
    server.page(QStringLiteral("/empty.html"), QByteArray());
    run(empty, [&] { empty.checkURL(server.url(QStringLiteral("/empty.html")), std::nullopt); });
    EXPECT_EQ(empty.errorMessage(), QStringLiteral("Response data invalid"));

    NIMBLite invalid(facts());
    run(invalid, [&] { invalid.checkURL(QStringLiteral("no url at all"), std::nullopt); });
    EXPECT_EQ(invalid.errorMessage(), QStringLiteral("URL is invalid"));

    // Nothing listens on the port of a closed server.
    QString closedUrl;
    {
        LoopbackServer closed;
        closedUrl = closed.url(QStringLiteral("/x"));
    }
    NIMBLite refused(facts());
    run(refused, [&] { refused.checkURL(closedUrl, std::nullopt); });
    EXPECT_TRUE(refused.errorMessage()->startsWith(QStringLiteral("Error: "))) << refused.errorMessage()->toStdString();
    EXPECT_EQ(refused.status(), NIMBLiteStatus::error);
}

TEST_F(UpdateCheck, AStalledOrTricklingServerTimesOut)
{
    LoopbackServer::Response hang;
    hang.mode = LoopbackServer::Response::Mode::Hang;
    server.route(QStringLiteral("/hang.html"), hang);
    NIMBLite check(facts());
    check.setRequestTimeout(std::chrono::milliseconds(300));
    run(check, [&] { check.checkURL(server.url(QStringLiteral("/hang.html")), std::nullopt); });
    EXPECT_EQ(check.status(), NIMBLiteStatus::error);
    EXPECT_TRUE(check.errorMessage()->startsWith(QStringLiteral("Error: ")));

    // A byte now and then restarts the stall time-out; the whole check has a deadline.
    LoopbackServer::Response trickle;
    trickle.mode = LoopbackServer::Response::Mode::Trickle;
    trickle.streamBytes = 1'000'000;
    server.route(QStringLiteral("/trickle.html"), trickle);
    NIMBLite slow(facts());
    slow.setRequestTimeout(std::chrono::milliseconds(400));
    slow.setCheckDeadline(std::chrono::milliseconds(1500));
    run(slow, [&] { slow.checkURL(server.url(QStringLiteral("/trickle.html")), std::nullopt); });
    EXPECT_EQ(slow.status(), NIMBLiteStatus::error);
    EXPECT_EQ(slow.errorMessage(), QStringLiteral("Error: The server did not send the page within 1 seconds"));
}

TEST_F(UpdateCheck, AnOversizedAnswerIsCutOffWithAnError)
{
    for (const bool declared : {true, false}) {
        LoopbackServer::Response huge;
        huge.mode = LoopbackServer::Response::Mode::Stream;
        huge.streamBytes = 50LL * 1024 * 1024;
        huge.declareLength = declared;
        server.route(QStringLiteral("/huge.html"), huge);
        NIMBLite check(facts());
        run(check, [&] { check.checkURL(server.url(QStringLiteral("/huge.html")), std::nullopt); });
        EXPECT_EQ(check.status(), NIMBLiteStatus::error) << declared;
        EXPECT_TRUE(logHasPrefix(check, QStringLiteral("Error: Response data too large")));
    }
}

TEST_F(UpdateCheck, RedirectsBetweenPlainAddressesAreFollowed)
{
    LoopbackServer::Response moved;
    moved.status = 302;
    moved.reason = "Found";
    moved.headers = {{"Location", server.url(QStringLiteral("/downloads.html")).toLatin1()}};
    server.route(QStringLiteral("/old.html"), moved);
    NIMBLite check(facts());
    run(check, [&] { check.validateOnlinePage(server.url(QStringLiteral("/old.html"))); });
    EXPECT_EQ(check.log().first(), QStringLiteral("--- validateOnlinePage(inURLString:)"));
    EXPECT_EQ(check.status(), NIMBLiteStatus::updateAvailable);
}

TEST_F(UpdateCheck, ManualCheckOpensTheWebPageWithTheStateAndTheUpdate)
{
    NIMBLite check(facts());
    run(check, [&] { check.performManualCheck(); });
    EXPECT_TRUE(logHasPrefix(check, QStringLiteral("--- checkURL(inURLString:sender:); cachePolicy:.reloadIgnoringLocalCacheData")));
    EXPECT_EQ(check.cachePolicy(), moraine::CachePolicy::useProtocolCachePolicy) << "restored after the check";
    EXPECT_EQ(NIMBProgressWindow::current(), nullptr);
    ASSERT_EQ(browser.opened.size(), 1);
    const QUrl opened = browser.opened.first();
    EXPECT_EQ(opened.toString(QUrl::RemoveQuery), server.url(QStringLiteral("/downloads.html")));
    using Item = QPair<QString, QString>;
    const QList<Item> expected{{QStringLiteral("arc"), QStringLiteral("x86")},
                               {QStringLiteral("appver"), QStringLiteral("2.0.0")},
                               {QStringLiteral("macos"), QStringLiteral("6.1.0")},
                               {QStringLiteral("state"), QStringLiteral("2")},
                               {QStringLiteral("groupid"), QStringLiteral("v220")},
                               {QStringLiteral("newver"), QStringLiteral("2.2.0")}};
    EXPECT_EQ(QUrlQuery(opened).queryItems(QUrl::FullyDecoded), expected);
    EXPECT_TRUE(alerts.alerts.isEmpty());
}

TEST_F(UpdateCheck, ManualCheckWhenUpToDateSendsStateOneWithoutUpdateKeys)
{
    const QByteArray page = signPage(pageTemplate(groupElement(
        "v200", "100", "5.0", "2.0.0", "<a class=\"NIMBArchive ub\" href=\"https://downloads.example/a.tar.gz\"/>")));
    server.page(QStringLiteral("/downloads.html"), page);
    NIMBLite check(facts());
    run(check, [&] { check.performManualCheck(); });
    ASSERT_EQ(browser.opened.size(), 1);
    const QUrlQuery query(browser.opened.first());
    EXPECT_EQ(query.queryItemValue(QStringLiteral("state")), QStringLiteral("1"));
    EXPECT_FALSE(query.hasQueryItem(QStringLiteral("groupid")));
    EXPECT_FALSE(query.hasQueryItem(QStringLiteral("newver")));
}

TEST_F(UpdateCheck, ManualCheckFailureShowsTheAlertInsteadOfThePage)
{
    NIMBLite::setUpdatePageURL(server.url(QStringLiteral("/gone.html")));
    NIMBLite check(facts());
    run(check, [&] { check.performManualCheck(); });
    (void)QTest::qWaitFor([&] { return !alerts.alerts.isEmpty(); }, 5000);
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_EQ(alerts.alerts.first().title, QStringLiteral("Unable to check for update"));
    EXPECT_TRUE(alerts.alerts.first().informativeText.startsWith(QStringLiteral("Error: Server said 404 Not Found\n")));
    EXPECT_TRUE(browser.opened.isEmpty());

    NIMBLite::setUpdatePageURL(std::nullopt);
    NIMBLite noUrl(facts());
    run(noUrl, [&] { noUrl.performManualCheck(); });
    EXPECT_EQ(noUrl.errorMessage(), QStringLiteral("Invalid URL None"));
    (void)QTest::qWaitFor([&] { return alerts.alerts.size() == 2; }, 5000);
    ASSERT_EQ(alerts.alerts.size(), 2);
    EXPECT_TRUE(alerts.alerts.last().informativeText.startsWith(QStringLiteral("Invalid URL None\n")));
}

TEST_F(UpdateCheck, OneProgressWindowServesOverlappingManualChecks)
{
    LoopbackServer::Response held;
    held.mode = LoopbackServer::Response::Mode::Hold;
    held.body = signPage(fixture(QStringLiteral("downloads-page.xhtml")));
    server.route(QStringLiteral("/downloads.html"), held);

    NIMBLite first(facts());
    NIMBLite second(facts());
    CompletionCounter firstDone(first);
    CompletionCounter secondDone(second);
    first.performManualCheck();
    NIMBProgressWindow *window = NIMBProgressWindow::current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vellory 2 Updates"));
    second.performManualCheck();
    EXPECT_EQ(NIMBProgressWindow::current(), window) << "the open window is brought forward, not doubled";
    EXPECT_EQ(window->check(), &first);

    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(QStringLiteral("/downloads.html")) == 2; }, 10000));
    server.release();
    ASSERT_TRUE(firstDone.waitForCompletion());
    ASSERT_TRUE(secondDone.waitForCompletion());
    QTest::qWait(50);
    EXPECT_EQ(NIMBProgressWindow::current(), nullptr);
    EXPECT_EQ(browser.opened.size(), 2);
}

TEST_F(UpdateCheck, CancelInTheProgressWindowIgnoresTheAnswer)
{
    LoopbackServer::Response held;
    held.mode = LoopbackServer::Response::Mode::Hold;
    held.body = signPage(fixture(QStringLiteral("downloads-page.xhtml")));
    server.route(QStringLiteral("/downloads.html"), held);

    NIMBLite check(facts());
    CompletionCounter completions(check);
    check.performManualCheck();
    NIMBProgressWindow *window = NIMBProgressWindow::current();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(QStringLiteral("/downloads.html")) == 1; }, 10000));

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(check.cancelled());
    ASSERT_TRUE(QTest::qWaitFor([] { return NIMBProgressWindow::current() == nullptr; }, 5000));

    const int closedBefore = server.closedConnections();
    server.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.closedConnections() > closedBefore; }, 10000));
    completions.settle();
    EXPECT_EQ(completions.count(), 0);
    EXPECT_TRUE(browser.opened.isEmpty());
    EXPECT_TRUE(alerts.alerts.isEmpty());
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid()) << "the ignored answer was not processed";
}

TEST_F(UpdateCheck, TheUpdatePageQueryCarriesEachStateDigit)
{
    struct Case
    {
        NIMBLiteStatus status;
        const char *digit;
    };
    const Case cases[] = {{NIMBLiteStatus::error, "0"},           {NIMBLiteStatus::upToDate, "1"},
                          {NIMBLiteStatus::noUpdateForThisMac, "3"}, {NIMBLiteStatus::noUpdateAtThisTime, "4"},
                          {NIMBLiteStatus::formatInvalid, "5"},   {NIMBLiteStatus::maintenance, "6"},
                          {NIMBLiteStatus::busy, "4"}};
    EXPECT_EQ(moraine::stateDigit(NIMBLiteStatus::updateAvailable), 2);
    for (const Case &c : cases) {
        EXPECT_EQ(QString::number(moraine::stateDigit(c.status)), QLatin1String(c.digit)) << moraine::statusName(c.status).toStdString();
    }

    // Available without details: the page still opens, without the update keys.
    NIMBLite check(facts());
    check.resetCheckState();
    check.storeUpdateInfo({{prefs::kGroupID, QStringLiteral("g 1&2")}, {prefs::kBuildNumber, 120}});
    check.showUpdatePage(QStringLiteral("https://example.com/u.html"), QStringLiteral("manualUpdateCheck"));
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_TRUE(browser.opened.last().toString(QUrl::FullyEncoded).endsWith(QStringLiteral("&state=2&groupid=g%201%262&newver=Unknown")))
        << browser.opened.last().toString().toStdString();

    check.showUpdatePage(QStringLiteral("not a url"), QStringLiteral("manualUpdateCheck"));
    EXPECT_EQ(check.errorMessage(), QStringLiteral("Invalid URL not a url"));
    EXPECT_EQ(browser.opened.size(), 1);
}

TEST(UpdateWebPage, EncodesEverythingButLettersAndDigitsAndNamesTheMachine)
{
    EXPECT_EQ(moraine::percentEncodeAlphanumerics(QStringLiteral("2.0.1-b~x_y")),
              QStringLiteral("2%2E0%2E1%2Db%7Ex%5Fy"));
    EXPECT_EQ(moraine::percentEncodeAlphanumerics(QStringLiteral("é 1")), QStringLiteral("%C3%A9%201"));

    moraine::HostFacts arm = facts(QStringLiteral("57"), QStringLiteral("6.5.7-rpi"));
    arm.machine = QStringLiteral("aarch64");
    QString problem;
    EXPECT_EQ(moraine::downloadsPageAddress(QStringLiteral("https://example.com/d"), arm, &problem),
              QStringLiteral("https://example.com/d?arc=ass&ver=2%2E0%2E0&build=57&macos=6%2E5%2E7"));
    EXPECT_EQ(moraine::architectureCode(arm.machine), QStringLiteral("ass"));

    moraine::HostFacts other = arm;
    other.machine = QStringLiteral("riscv64");
    EXPECT_FALSE(moraine::downloadsPageAddress(QStringLiteral("https://example.com/d"), other, &problem).has_value());
    EXPECT_EQ(problem, QStringLiteral("Unknown CPU type: riscv64"));
    EXPECT_EQ(moraine::architectureCode(other.machine), QStringLiteral("x86"));
}

TEST(UpdateServiceCreation, StopsFillingAtTheFirstMissingFact)
{
    moraine::HostFacts noBuild = facts(QStringLiteral("2.0"));
    NIMBLite first(noBuild);
    EXPECT_EQ(first.errorMessage(), QStringLiteral("Unable to get application's CFBundleVersion"));
    EXPECT_TRUE(first.bundleIdentifier().isEmpty());

    moraine::HostFacts noKernel = facts(QStringLiteral("100"), QStringLiteral("unknown"));
    NIMBLite second(noKernel);
    EXPECT_EQ(second.errorMessage(), QStringLiteral("Unable to get the macOS version"));
    EXPECT_EQ(second.appVersion(), 100);
    EXPECT_TRUE(second.architecture().isEmpty());

    NIMBLite fine(facts());
    EXPECT_FALSE(fine.errorMessage().has_value());
    EXPECT_EQ(fine.status(), NIMBLiteStatus::idle);
    EXPECT_EQ(fine.OSVersion(), (moraine::OsVersion{6, 1}));
}

// HTTPS on 127.0.0.1 with a certificate made for the test.
class UpdateCheckTls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QSslSocket::supportsSsl()) {
            GTEST_SKIP() << "no TLS backend";
        }
        clearUpdatePreferences();
        NIMBLite::setPublicKey(publisherKey().publicKey);
        certificate = QSslCertificate(loopbackCertificatePem(), QSsl::Pem);
        ASSERT_FALSE(certificate.isNull());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(QSslKey(otherKey().privatePkcs8Pem.toLatin1(), QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey));
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        secure = std::make_unique<LoopbackServer>(tls);
        ASSERT_TRUE(secure->isListening());
        secure->page(QStringLiteral("/downloads.html"), signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
        saved = QSslConfiguration::defaultConfiguration();
    }
    void TearDown() override
    {
        QSslConfiguration::setDefaultConfiguration(saved);
        NIMBLite::setPublicKey(std::nullopt);
        clearUpdatePreferences();
    }

    // Makes the test certificate trusted for this process, as a real site's would be.
    void trustTestCertificate()
    {
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
    }

    void run(NIMBLite &check, const QString &url)
    {
        CompletionCounter completions(check);
        check.checkURL(url, std::nullopt);
        ASSERT_TRUE(completions.waitForCompletion()) << check.log().join(QLatin1Char('\n')).toStdString();
        completions.settle();
        EXPECT_EQ(completions.count(), 1);
    }

    QSslCertificate certificate;
    std::unique_ptr<LoopbackServer> secure;
    QSslConfiguration saved;
};

TEST_F(UpdateCheckTls, AnUntrustedCertificateFailsTheCheck)
{
    NIMBLite check(facts());
    run(check, secure->url(QStringLiteral("/downloads.html")));
    EXPECT_EQ(check.status(), NIMBLiteStatus::error);
    EXPECT_TRUE(check.errorMessage()->startsWith(QStringLiteral("Error: "))) << check.errorMessage()->toStdString();
    EXPECT_FALSE(platform::preferences()->contains(prefs::kCurrentUpdateInfo));
}

TEST_F(UpdateCheckTls, ATrustedServerIsReadButNeverLeftForPlainHttp)
{
    trustTestCertificate();
    NIMBLite direct(facts());
    run(direct, secure->url(QStringLiteral("/downloads.html")));
    EXPECT_EQ(direct.status(), NIMBLiteStatus::updateAvailable) << direct.log().join('\n').toStdString();

    LoopbackServer plain;
    plain.page(QStringLiteral("/downloads.html"), signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    LoopbackServer::Response downgrade;
    downgrade.status = 302;
    downgrade.reason = "Found";
    downgrade.headers = {{"Location", plain.url(QStringLiteral("/downloads.html")).toLatin1()}};
    secure->route(QStringLiteral("/old.html"), downgrade);
    NIMBLite redirected(facts());
    run(redirected, secure->url(QStringLiteral("/old.html")));
    EXPECT_EQ(redirected.status(), NIMBLiteStatus::error);
    EXPECT_TRUE(redirected.errorMessage()->startsWith(QStringLiteral("Error: "))) << redirected.errorMessage()->toStdString();
    EXPECT_EQ(plain.requestCount(QStringLiteral("/downloads.html")), 0);
}

TEST(UpdatePreferences, PeriodsFlagsAndTextsReadDefensively)
{
    clearUpdatePreferences();
    const auto settings = platform::preferences();
    EXPECT_EQ(prefs::checkPeriod(*settings), 604800.0);
    settings->setValue(prefs::kNextUpdateCheckPeriod, QStringLiteral("soon"));
    EXPECT_EQ(prefs::checkPeriod(*settings), 604800.0);
    settings->setValue(prefs::kNextUpdateCheck, QStringLiteral("tomorrow"));
    EXPECT_FALSE(prefs::date(*settings, prefs::kNextUpdateCheck).has_value());

    EXPECT_EQ(prefs::availableUpdateText(*settings), QStringLiteral("Version Update Info missing"));
    EXPECT_EQ(prefs::ignoredVersionText(*settings), QStringLiteral("Ignoring version None"));
    settings->setValue(prefs::kCurrentUpdateInfo, QVariantMap{{prefs::kBuildNumber, 120}});
    EXPECT_EQ(prefs::availableUpdateText(*settings), QStringLiteral("Version No Display Version"));
    prefs::ignoreCurrentUpdate(*settings);
    EXPECT_EQ(prefs::ignoredVersionText(*settings), QStringLiteral("Ignoring version Ignore Info missing"));

    // A build number stored as text is not an integer.
    EXPECT_FALSE(prefs::integerEntry(QVariantMap{{prefs::kBuildNumber, QStringLiteral("120")}}, prefs::kBuildNumber));
    EXPECT_EQ(prefs::integerEntry(QVariantMap{{prefs::kBuildNumber, 120}}, prefs::kBuildNumber), 120);

    // Restoring without a skipped version leaves no dictionary behind.
    settings->remove(prefs::kIgnoreVersionInfo);
    prefs::restoreIgnoredUpdate(*settings);
    EXPECT_FALSE(settings->contains(prefs::kCurrentUpdateInfo));
    clearUpdatePreferences();
}
