// The launch tasks: the update page address, the verification key, the
// alert when the key cannot be read, and the one silent check.
#include "apptesting.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "loopbackserver.h"
#include "platform/buildinfo.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"
#include "updatetestsupport.h"

#include <QSignalSpy>
#include <QTest>

using moraine::NIMBLite;

namespace {

// Stands in for the update service without any network: counts the
// objects made and the checks asked for, and completes at once.
struct CheckCounts
{
    int made = 0, manual = 0, silent = 0;
};

class RecordingCheck : public NIMBLite
{
public:
    explicit RecordingCheck(CheckCounts &counts)
        : NIMBLite(facts())
        , m_counts(counts)
    {
        ++m_counts.made;
    }
    void performManualCheck() override { ++m_counts.manual; finishCheck(); }
    void performSilentCheck() override { ++m_counts.silent; finishCheck(); }

private:
    CheckCounts &m_counts;
};

class LaunchTasks : public ::testing::Test
{
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        moraine::NIMBProgressWindow::dismiss();
        NIMBLite::setPublicKey(std::nullopt);
        NIMBLite::setUpdatePageURL(std::nullopt);
        clearUpdatePreferences();
    }

    // Launches and waits until the delegate has done its work.
    void launch(VelloryApp &app)
    {
        QSignalSpy done(&app.delegate(), &AppDelegate::launchTasksStarted);
        ASSERT_TRUE(app.launch());
        ASSERT_TRUE(done.wait(5000));
    }

    RecordingAlertPresenter alerts;
    RecordingUrlOpener browser;
};

} // namespace

TEST_F(LaunchTasks, AKeyThatCannotBeReadShowsOneAlertAndNoCheckThenAManualCheckFailsForWantOfIt)
{
    AppFixture f;
    VelloryApp &app = f.start();
    QSignalSpy started(&app.updateChecks(), &UpdateChecks::checkStarted);
    app.delegate().setPublicKeySource([] { return QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\nbroken\n"); });
    launch(app);

    // The alert is queued on the main thread.
    ASSERT_TRUE(AppFixture::waitFor([&] { return !alerts.alerts.isEmpty(); }));
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_EQ(alerts.alerts.first().title, QStringLiteral("Couldn't configure update system"));
    EXPECT_TRUE(alerts.alerts.first().beep);
    EXPECT_FALSE(alerts.alerts.first().informativeText.startsWith(QLatin1Char('\n'))) << "the error is the message";
    EXPECT_EQ(started.size(), 0) << "no silent check without a key";
    EXPECT_FALSE(NIMBLite::publicKey());
    EXPECT_EQ(NIMBLite::updatePageURL(), platform::buildinfo::updatePageUrl());
    QTest::qWait(100);
    EXPECT_EQ(alerts.alerts.size(), 1);

    // Later, "Check for updates..." still runs, on a real page on this machine,
    // and fails at the signature for want of the key.
    LoopbackServer server;
    server.page(QStringLiteral("/downloads.html"), signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    NIMBLite::setUpdatePageURL(server.url(QStringLiteral("/downloads.html")));
    app.updateChecks().setFactory([] { return new NIMBLite(facts()); });
    QSignalSpy finished(&app.updateChecks(), &UpdateChecks::checkFinished);
    std::optional<QString> error;
    QObject::connect(&app.updateChecks(), &UpdateChecks::checkFinished,
                     [&](NIMBLite *check) { error = check->errorMessage(); });
    AppFixture::trigger(f.mainWindow(), QStringLiteral("checkForUpdatesItem"));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(server.requestCount(QStringLiteral("/downloads.html")), 1);
    EXPECT_EQ(error, QStringLiteral("Signature invalid, public key is missing"));
    ASSERT_TRUE(AppFixture::waitFor([&] { return alerts.alerts.size() == 2; }));
    EXPECT_EQ(alerts.alerts.last().title, QStringLiteral("Unable to check for update"));
    EXPECT_TRUE(browser.opened.isEmpty());
}

TEST_F(LaunchTasks, TheBundledKeyIsSetOneSilentCheckRunsAndEachCheckForUpdatesMakesACheckOfItsOwn)
{
    AppFixture f;
    VelloryApp &app = f.start();
    CheckCounts counts;
    QList<QPointer<NIMBLite>> checks;
    app.updateChecks().setFactory([&] {
        checks.append(new RecordingCheck(counts));
        return checks.last().data();
    });
    QSignalSpy started(&app.updateChecks(), &UpdateChecks::checkStarted);
    launch(app);
    ASSERT_TRUE(NIMBLite::publicKey());
    EXPECT_EQ(NIMBLite::publicKey()->bits(), 3072);
    EXPECT_EQ(NIMBLite::updatePageURL(), platform::buildinfo::updatePageUrl());
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.first().at(1).value<UpdateChecks::Kind>(), UpdateChecks::Kind::Silent);
    EXPECT_EQ(counts.silent, 1);
    QTest::qWait(100); // an alert would be queued
    EXPECT_TRUE(alerts.alerts.isEmpty());
    // The object goes away by itself once its check has completed.
    EXPECT_TRUE(AppFixture::waitFor([&] { return checks.first().isNull(); }));

    QObject *item = AppFixture::menuItem(f.mainWindow(), QStringLiteral("checkForUpdatesItem"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("Check for updates..."));
    QMetaObject::invokeMethod(item, "triggered");
    QMetaObject::invokeMethod(item, "triggered");
    ASSERT_EQ(started.size(), 3);
    EXPECT_NE(started.at(1).at(0).value<NIMBLite *>(), started.at(2).at(0).value<NIMBLite *>());
    EXPECT_EQ(counts.made, 3);
    EXPECT_EQ(counts.manual, 2);
    EXPECT_EQ(counts.silent, 1);
}

TEST_F(LaunchTasks, ACheckEndingAfterTheApplicationIsGoneStillDeletesItselfQuietly)
{
    CheckCounts counts;
    QPointer<NIMBLite> check;
    {
        AppFixture f;
        VelloryApp &app = f.start();
        app.updateChecks().setFactory([&] {
            auto *made = new RecordingCheck(counts);
            check = made;
            return made;
        });
        app.updateChecks().startManualCheck(); // its completion is still queued
        ASSERT_TRUE(check);
    }
    EXPECT_TRUE(AppFixture::waitFor([&] { return check.isNull(); }));
    EXPECT_EQ(counts.manual, 1);
}
