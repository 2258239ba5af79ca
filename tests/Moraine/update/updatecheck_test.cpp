#include "loopbackserver.h"
#include "updatetestsupport.h"

#include "Moraine/update/updatepreferences.h"
#include "Moraine/update/updatewebpage.h"

#include <QDateTime>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTest>

#include <gtest/gtest.h>

using moraine::NIMBLite;
using moraine::NIMBLiteStatus;
using Response = LoopbackServer::Response;
namespace prefs = moraine::updateprefs;

namespace {

const QString kPage = QStringLiteral("/downloads.html");

Response redirectTo(const QString &url)
{
    return {.status = 302, .reason = "Found", .headers = {{"Location", url.toLatin1()}}};
}


void silent(NIMBLite &check) { check.performSilentCheck(); }
void manual(NIMBLite &check) { check.performManualCheck(); }
std::function<void(NIMBLite &)> fetch(const QString &url)
{
    return [url](NIMBLite &check) { check.checkURL(url, std::nullopt); };
}

::testing::AssertionResult failedWith(const NIMBLite &check, const QString &prefix)
{
    const QString message = check.errorMessage().value_or(QStringLiteral("(none)"));
    return ::testing::AssertionResult(check.status() == NIMBLiteStatus::error && message.startsWith(prefix))
           << "status " << static_cast<int>(check.status()) << ", error " << message.toStdString();
}

} // namespace

// Real checks against pages served on 127.0.0.1.
class UpdateCheck : public UpdateTest
{
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        services.setUpdatePageURL(server.url(kPage));
        server.page(kPage, signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    }

    LoopbackServer server;
};

TEST_F(UpdateCheck, SilentChecksFollowTheScheduleAndTheStoredUpdateAndFetchOnlyWhenDue)
{
    // First launch: the next check is scheduled, the server is not asked; the second launch waits.
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const auto first = ran(silent);
    EXPECT_TRUE(logHas(*first, QStringLiteral("No NIMBNextUpdateCheck set, so we'll create one")));
    EXPECT_NEAR(before.secsTo(pref(prefs::kNextUpdateCheck).toDateTime()), 604800, 5);
    EXPECT_EQ(first->status(), NIMBLiteStatus::busy);
    EXPECT_TRUE(logHas(*ran(silent), QStringLiteral("Still "), true));

    // "Never" only says so, even when a check is due.
    setPref(prefs::kNextUpdateCheckPeriod, 0.0);
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addDays(-3));
    EXPECT_EQ(ran(silent)->log(), (QStringList{QStringLiteral("--- performSilentCheck()"),
                                        QStringLiteral("NIMBNextUpdateCheckPeriod is set to never.")}));

    // A stored update is reported without the network until it is installed, then flushed.
    platform::preferences()->remove(prefs::kNextUpdateCheckPeriod);
    setPref(prefs::kCurrentUpdateInfo, QVariantMap{{prefs::kGroupID, QStringLiteral("v220")},
                                                   {prefs::kDisplayVersion, QStringLiteral("2.2.0")},
                                                   {prefs::kBuildNumber, 120}});
    setPref(prefs::kUpdateAvailable, true);
    setPref(prefs::kIgnoreVersionInfo, QVariantMap{{prefs::kBuildNumber, 110}});
    const auto stored = ran(silent);
    EXPECT_EQ(stored->status(), NIMBLiteStatus::updateAvailable);
    EXPECT_TRUE(logHas(*stored, QStringLiteral("build:120 available, we're on 100")));
    EXPECT_TRUE(logHas(*ran(silent, QStringLiteral("120")), QStringLiteral("We're using build:120; update: 120; we'll flush the data and next "
                                                 "time we'll do a check.")));
    for (const QString &key : {prefs::kCurrentUpdateInfo, prefs::kUpdateAvailable, prefs::kIgnoreVersionInfo}) {
        EXPECT_FALSE(pref(key).isValid()) << key.toStdString();
    }
    EXPECT_EQ(server.requestCount(kPage), 0);

    setPref(prefs::kNextUpdateCheckPeriod, 86400.0);
    setPref(prefs::kNextUpdateCheck, QDateTime::currentDateTimeUtc().addSecs(-10));
    const auto check = ran(silent);
    EXPECT_EQ(server.requestCount(kPage), 1);
    EXPECT_EQ(check->status(), NIMBLiteStatus::updateAvailable);
    EXPECT_TRUE(logHas(*check, QStringLiteral("--- checkURL(inURLString:sender:); cachePolicy:.useProtocolCachePolicy"), true));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Server response: 200; Wed, 01 Jan 2025 10:00:00 GMT; size: "), true));
    EXPECT_NEAR(QDateTime::currentDateTimeUtc().secsTo(pref(prefs::kNextUpdateCheck).toDateTime()), 86400, 5);

    server.route(QStringLiteral("/old.html"), redirectTo(server.url(kPage)));
    const auto moved = ran([&](NIMBLite &c) { c.validateOnlinePage(server.url(QStringLiteral("/old.html"))); });
    EXPECT_EQ(moved->status(), NIMBLiteStatus::updateAvailable);
}

// A stall, a trickle past the whole check's deadline and an oversized answer are cut off.
TEST_F(UpdateCheck, ServerAndNetworkFailuresEndTheCheckOnceWithAnError)
{
    server.page(QStringLiteral("/empty.html"), QByteArray());
    using Mode = Response::Mode;
    server.route(QStringLiteral("/hang.html"), {.mode = Mode::Hang});
    // A byte now and then restarts the stall time-out.
    server.route(QStringLiteral("/trickle.html"), {.mode = Mode::Trickle, .streamBytes = 1'000'000});
    const QByteArray huge(50 * 1024 * 1024, 'x');
    server.route(QStringLiteral("/huge.html"), {.body = huge});
    server.route(QStringLiteral("/huge-undeclared.html"), {.body = huge, .declareLength = false});
    const QString closedUrl = LoopbackServer().url(QStringLiteral("/x")); // nothing listens there once it is gone
    const std::pair<QString, QString> rows[] = {
        {server.url(QStringLiteral("/nothing.html")), QStringLiteral("Error: Server said 404 Not Found")},
        {server.url(QStringLiteral("/empty.html")), QStringLiteral("Response data invalid")},
        {QStringLiteral("no url at all"), QStringLiteral("URL is invalid")},
        {closedUrl, QStringLiteral("Error: ")},
        {server.url(QStringLiteral("/hang.html")), QStringLiteral("Error: ")},
        {server.url(QStringLiteral("/trickle.html")), QStringLiteral("Error: The server did not send the page within 1 seconds")},
        {server.url(QStringLiteral("/huge.html")), QStringLiteral("Response data too large")},
        {server.url(QStringLiteral("/huge-undeclared.html")), QStringLiteral("Response data too large")}};
    for (const auto &[url, error] : rows) {
        SCOPED_TRACE(url.toStdString());
        // The short stall time-out only where the server stalls: elsewhere a
        // busy machine's pause between bytes passed for a stall.
        const bool stalls = url.endsWith(QStringLiteral("/hang.html"));
        EXPECT_TRUE(failedWith(*ran([&](NIMBLite &check) {
            check.setRequestTimeout(std::chrono::milliseconds(stalls ? 400 : 60000));
            check.setCheckDeadline(std::chrono::milliseconds(1500));
            fetch(url)(check);
        }), error));
    }
}

TEST_F(UpdateCheck, ManualCheckOpensTheWebPageWithTheStateAndTheUpdateOrShowsTheFailure)
{
    const auto check = ran(manual);
    EXPECT_TRUE(logHas(*check, QStringLiteral("--- checkURL(inURLString:sender:); cachePolicy:.reloadIgnoringLocalCacheData"), true));
    EXPECT_EQ(check->cachePolicy(), moraine::CachePolicy::useProtocolCachePolicy) << "restored after the check";
    EXPECT_EQ(progress.current(), nullptr);
    ASSERT_EQ(kit.browser.opened.size(), 1);
    EXPECT_EQ(kit.browser.opened.first().toString(QUrl::RemoveQuery), server.url(kPage));
    EXPECT_EQ(kit.browser.opened.first().query(QUrl::FullyDecoded),
              QStringLiteral("arc=x86&appver=2.0.0&macos=6.1.0&state=2&groupid=v220&newver=2.2.0"));

    // Up to date: state 1 and no update keys.
    server.page(kPage, signPage(pageTemplate(groupElement(
                           "v200", "100", "5.0", "2.0.0", "<a class=\"NIMBArchive ub\" href=\"https://d.example/a.tar.gz\"/>"))));
    (void)ran(manual);
    ASSERT_EQ(kit.browser.opened.size(), 2);
    EXPECT_EQ(kit.browser.opened.last().query(QUrl::FullyDecoded), QStringLiteral("arc=x86&appver=2.0.0&macos=6.1.0&state=1"));

    // Available without details: the page still opens, the keys encoded; a bad address opens nothing.
    NIMBLite bare(services, facts());
    bare.resetCheckState();
    bare.storeUpdateInfo({{prefs::kGroupID, QStringLiteral("g 1&2")}, {prefs::kBuildNumber, 120}});
    bare.showUpdatePage(QStringLiteral("https://example.com/u.html"), QStringLiteral("manualUpdateCheck"));
    ASSERT_EQ(kit.browser.opened.size(), 3);
    EXPECT_TRUE(kit.browser.opened.last().toString(QUrl::FullyEncoded).endsWith(QStringLiteral("&state=2&groupid=g%201%262&newver=Unknown")))
        << kit.browser.opened.last().toString().toStdString();
    bare.showUpdatePage(QStringLiteral("not a url"), QStringLiteral("manualUpdateCheck"));
    EXPECT_EQ(bare.errorMessage(), QStringLiteral("Invalid URL not a url"));

    // A failed manual check shows the alert instead of the page.
    services.setUpdatePageURL(std::nullopt);
    EXPECT_EQ(ran(manual)->errorMessage(), QStringLiteral("Invalid URL None"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return kit.alertPresenter.alerts.size() == 1; }, 5000));
    EXPECT_EQ(kit.alertPresenter.alerts.first().title, QStringLiteral("Unable to check for update"));
    EXPECT_TRUE(kit.alertPresenter.alerts.first().informativeText.startsWith(QStringLiteral("Invalid URL None\n")));
    EXPECT_EQ(kit.browser.opened.size(), 3);
}

// The open window is brought forward, not doubled; a cancelled check never completes.
TEST_F(UpdateCheck, OneProgressWindowServesOverlappingManualChecksAndCancelIgnoresTheAnswer)
{
    server.route(kPage, {.body = signPage(fixture(QStringLiteral("downloads-page.xhtml"))), .mode = Response::Mode::Hold});
    NIMBLite first(services, facts());
    NIMBLite second(services, facts());
    const auto firstDone = countCompletions(first);
    const auto secondDone = countCompletions(second);
    first.performManualCheck();
    moraine::NIMBProgressWindow *window = progress.current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    second.performManualCheck();
    EXPECT_EQ(progress.current(), window);
    EXPECT_EQ(window->check(), &first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(kPage) == 2; }, 10000));

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(first.cancelled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress.current() == nullptr; }, 5000));
    server.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return *secondDone > 0 && server.closedConnections() >= 2; }, 20000));
    QTest::qWait(100);
    EXPECT_EQ(*firstDone, 0);
    EXPECT_FALSE(logHas(first, QStringLiteral("--- processHTML(_:sender:)"))) << "the ignored answer was processed";
    EXPECT_EQ(kit.browser.opened.size(), 1);
    EXPECT_TRUE(kit.alertPresenter.alerts.isEmpty());
}

TEST(UpdateWebPage, EncodesEverythingButLettersAndDigitsAndNamesTheMachineOrSaysWhichFactIsMissing)
{
    EXPECT_EQ(moraine::percentEncodeAlphanumerics(QStringLiteral("2.0.1-b~x_y")), QStringLiteral("2%2E0%2E1%2Db%7Ex%5Fy"));
    EXPECT_EQ(moraine::percentEncodeAlphanumerics(QStringLiteral("é 1")), QStringLiteral("%C3%A9%201"));

    moraine::HostFacts arm = facts(QStringLiteral("57"), QStringLiteral("6.5.7-rpi"));
    arm.machine = QStringLiteral("aarch64");
    EXPECT_EQ(moraine::downloadsPageAddress(QStringLiteral("https://example.com/d"), arm).toOptional(),
              QStringLiteral("https://example.com/d?arc=ass&ver=2%2E0%2E0&build=57&macos=6%2E5%2E7"));
    arm.machine = QStringLiteral("riscv64");
    const auto riscv = moraine::downloadsPageAddress(QStringLiteral("https://example.com/d"), arm);
    ASSERT_FALSE(riscv.ok());
    EXPECT_EQ(riscv.error().domain, QStringLiteral("Unknown CPU type: riscv64"));
    EXPECT_EQ(moraine::architectureCode(arm.machine), QStringLiteral("x86"));

    // A check made without a build number or a system version stops filling there.
    const moraine::UpdateServices none;
    NIMBLite noBuild(none, facts(QStringLiteral("2.0")));
    EXPECT_EQ(noBuild.errorMessage(), QStringLiteral("Unable to get application's CFBundleVersion"));
    EXPECT_TRUE(noBuild.bundleIdentifier().isEmpty());

    NIMBLite noKernel(none, facts(QStringLiteral("100"), QStringLiteral("unknown")));
    EXPECT_EQ(noKernel.errorMessage(), QStringLiteral("Unable to get the Linux version"));
    EXPECT_TRUE(noKernel.architecture().isEmpty());
}

TEST_F(UpdateCheck, OnlyATrustedServerIsReadOverTlsAndItIsNeverLeftForPlainHttp)
{
    if (!QSslSocket::supportsSsl()) {
        GTEST_SKIP() << "no TLS backend";
    }
    const QSslCertificate certificate(loopbackCertificateDer(), QSsl::Der);
    ASSERT_FALSE(certificate.isNull());
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(QSslKey(otherKey().privatePkcs8Pem.toLatin1(), QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    LoopbackServer secure(tls);
    secure.page(kPage, signPage(fixture(QStringLiteral("downloads-page.xhtml"))));

    EXPECT_TRUE(failedWith(*ran(fetch(secure.url(kPage))), QStringLiteral("Error: ")));

    // Trusted for this process, as a real site's certificate would be; a
    // redirect to the plain server is refused.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificate(certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
    const auto direct = ran(fetch(secure.url(kPage)));
    secure.route(QStringLiteral("/old.html"), redirectTo(server.url(kPage)));
    const auto redirected = ran(fetch(secure.url(QStringLiteral("/old.html"))));
    QSslConfiguration::setDefaultConfiguration(saved);
    EXPECT_EQ(direct->status(), NIMBLiteStatus::updateAvailable) << direct->log().join('\n').toStdString();
    EXPECT_TRUE(failedWith(*redirected, QStringLiteral("Error: ")));
}
