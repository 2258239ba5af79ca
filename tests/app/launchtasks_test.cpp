// The launch tasks: the update page address, the verification key, the
// alert when the key cannot be read, and the one silent check.
#include "apptesting.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "platform/buildinfo.h"
#include "recordingalertpresenter.h"
#include "updatetestsupport.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using moraine::NIMBLite;

namespace {

// Stands in for the update service without any network: counts the checks
// asked for, and completes at once.
class RecordingCheck : public NIMBLite
{
public:
    explicit RecordingCheck(QStringList &kinds)
        : NIMBLite(facts())
        , m_kinds(kinds)
    {
    }
    void performManualCheck() override { m_kinds.append(QStringLiteral("manual")); finishCheck(); }
    void performSilentCheck() override { m_kinds.append(QStringLiteral("silent")); finishCheck(); }

private:
    QStringList &m_kinds;
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

    // Makes the application with recorded checks; `launch` also launches it
    // and waits until the delegate has done its work.
    VelloryApp &start(AppFixture &f, const std::function<QString()> &keySource = {}, bool launch = true)
    {
        VelloryApp &app = f.start();
        app.updateChecks().setFactory([this] {
            checks.append(new RecordingCheck(kinds));
            return checks.last().data();
        });
        if (keySource) {
            app.delegate().setPublicKeySource(keySource);
        }
        QSignalSpy done(&app.delegate(), &AppDelegate::launchTasksStarted);
        EXPECT_TRUE(!launch || (app.launch() && done.wait(5000)));
        return app;
    }

    RecordingAlertPresenter alerts;
    QStringList kinds;
    QList<QPointer<NIMBLite>> checks;
};

} // namespace

TEST_F(LaunchTasks, AKeyThatCannotBeReadShowsOneAlertAndNoCheckButAManualCheckStillRuns)
{
    AppFixture f;
    start(f, [] { return QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\nbroken\n"); });
    // The alert is queued on the main thread.
    ASSERT_TRUE(AppFixture::waitFor([&] { return !alerts.alerts.isEmpty(); }));
    EXPECT_EQ(alerts.alerts.first().title, QStringLiteral("Couldn't configure update system"));
    EXPECT_TRUE(alerts.alerts.first().beep);
    EXPECT_FALSE(alerts.alerts.first().informativeText.startsWith(QLatin1Char('\n'))) << "the error is the message";
    EXPECT_TRUE(kinds.isEmpty()) << "no silent check without a key";
    EXPECT_FALSE(NIMBLite::publicKey());
    EXPECT_EQ(NIMBLite::updatePageURL(), platform::buildinfo::updatePageUrl());
    QTest::qWait(100);
    EXPECT_EQ(alerts.alerts.size(), 1);

    AppFixture::trigger(f.mainWindow(), QStringLiteral("checkForUpdatesItem"));
    EXPECT_EQ(kinds, QStringList{QStringLiteral("manual")});
}

TEST_F(LaunchTasks, TheBundledKeyIsSetOneSilentCheckRunsAndEachCheckForUpdatesMakesACheckOfItsOwn)
{
    AppFixture f;
    start(f);
    ASSERT_TRUE(NIMBLite::publicKey());
    EXPECT_EQ(NIMBLite::publicKey()->bits(), 3072);
    EXPECT_EQ(NIMBLite::updatePageURL(), platform::buildinfo::updatePageUrl());
    EXPECT_EQ(kinds, QStringList{QStringLiteral("silent")});
    QTest::qWait(100); // an alert would be queued
    EXPECT_TRUE(alerts.alerts.isEmpty());
    // The object goes away by itself once its check has completed.
    EXPECT_TRUE(AppFixture::waitFor([&] { return checks.first().isNull(); }));

    QObject *item = AppFixture::menuItem(f.mainWindow(), QStringLiteral("checkForUpdatesItem"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("Check for updates..."));
    QMetaObject::invokeMethod(item, "triggered");
    QMetaObject::invokeMethod(item, "triggered");
    EXPECT_EQ(kinds, (QStringList{QStringLiteral("silent"), QStringLiteral("manual"), QStringLiteral("manual")}));
    EXPECT_EQ(checks.size(), 3);
}

TEST_F(LaunchTasks, ACheckEndingAfterTheApplicationIsGoneStillDeletesItselfQuietly)
{
    {
        AppFixture f;
        start(f, {}, false).updateChecks().startManualCheck(); // its completion is still queued
        ASSERT_EQ(checks.size(), 1);
    }
    EXPECT_TRUE(AppFixture::waitFor([&] { return checks.first().isNull(); }));
    EXPECT_EQ(kinds, QStringList{QStringLiteral("manual")});
}
