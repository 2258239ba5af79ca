// The application's desktop services against stand-ins for the desktop's
// own on a private bus: notifications when backups start and end and when an
// eject fails, the sleep inhibitor held while a job runs, one instance per session.
#include "controllertesting.h"
#include "jobtesting.h"
#include "loopvolume.h"
#include "runtesting.h"
#include "privatebus.h"

#include "app/backupnotifications.h"
#include "app/sleepwhilebackingup.h"
#include "platform/applicationbus.h"
#include "platform/desktopnotifier.h"
#include "platform/sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace {

// Answers as the notification service, the login manager and the desktop
// portal do, and records the arguments of every call by member.
class StandInDesktop : public QDBusVirtualObject
{
public:
    ~StandInDesktop() override
    {
        for (int fd : m_inhibitorEnds) {
            ::close(fd);
        }
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        calls[message.member()].append(message.arguments());
        if (message.member() == QLatin1String("Notify")) {
            return connection.send(message.createReply(QVariant::fromValue(uint(calls.value(message.member()).size()))));
        }
        if (message.member() == QLatin1String("Inhibit") && message.interface().startsWith(QLatin1String("org.freedesktop.login1"))) {
            // The login manager hands out one end of a pipe and holds the
            // inhibitor until every copy of that end is closed.
            int ends[2];
            if (::pipe(ends) != 0) {
                return connection.send(message.createErrorReply(QDBusError::Failed, QStringLiteral("pipe")));
            }
            m_inhibitorEnds.append(ends[0]);
            const QDBusUnixFileDescriptor handed(ends[1]);
            ::close(ends[1]);
            return connection.send(message.createReply(QVariant::fromValue(handed)));
        }
        if (message.member() == QLatin1String("Inhibit")) {
            return connection.send(message.createReply(
                QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t")))));
        }
        return connection.send(message.createReply());
    }

    // Whether the last inhibitor handed out is still held by someone.
    [[nodiscard]] bool inhibitorHeld() const
    {
        pollfd end{m_inhibitorEnds.isEmpty() ? -1 : m_inhibitorEnds.last(), POLLIN, 0};
        return end.fd >= 0 && ::poll(&end, 1, 0) == 0; // hang-up once the last copy is closed
    }

    QHash<QString, QList<QVariantList>> calls;

private:
    QList<int> m_inhibitorEnds;
};

// A private bus with the stand-in serving the desktop's names (the login
// manager's too: which bus it lives on is the caller's choice).
class DesktopServicesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (m_bus.address().isEmpty()) {
            GTEST_SKIP() << m_bus.skipReason().toStdString();
        }
        m_service = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("desktop"));
        ASSERT_TRUE(m_service.registerVirtualObject(QStringLiteral("/org/freedesktop"), &desktop, QDBusConnection::SubPath));
        for (const char *name : {"org.freedesktop.Notifications", "org.freedesktop.portal.Desktop", "org.freedesktop.login1"}) {
            ASSERT_TRUE(m_service.registerService(QString::fromLatin1(name)));
        }
        bus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("app"));
    }

    void TearDown() override
    {
        for (const char *name : {"desktop", "app", "second"}) {
            QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
        }
    }

    PrivateBus m_bus;
    QDBusConnection m_service{QString()};
    QDBusConnection bus{QString()};
    StandInDesktop desktop;
    ControllerFixture fixture;
    QTemporaryDir sources;
    QTemporaryDir destination;
};

// The stick's arrival starts a backup, which is told; its end is told with
// the totals, the eject and a log button; a failed eject with its reason.
TEST_F(DesktopServicesTest, AutomaticStartEndedBackupAndFailedEjectAreTold)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    SKIP_WITHOUT(volume);
    writeFile(sources.filePath(QStringLiteral("a.txt")), "12345");
    // A source that does not exist is one error of the run; the volume is
    // ejected after it.
    const BackupScript script = scriptFor(volume.mountPath(), {sources.path(), QStringLiteral("/nonexistent/vellory")});
    const auto stick = fakeStick(script.volumeUUID, QStringLiteral("STICK"), volume.mountPath());
    fixture.storeSet(script);
    fixture.table.mount(stick);
    setAutoEject(true);
    BackupController &controller = fixture.start();
    platform::DesktopNotifier notifier(bus);
    BackupNotifications notifications(controller, notifier);
    QSignalSpy logRequests(&notifications, &BackupNotifications::showLogRequested);

    fixture.monitor.mount(stick);
    // Application, summary, body and actions of each notification.
    const auto told = [this](int count) {
        QList<QStringList> found;
        EXPECT_TRUE(waitUntil([&] { return desktop.calls.value(QStringLiteral("Notify")).size() == count; }));
        for (const QVariantList &call : desktop.calls.value(QStringLiteral("Notify"))) {
            found.append(QStringList{call.value(0).toString(), call.value(3).toString(), call.value(4).toString()}
                         + call.value(5).toStringList());
        }
        return found;
    };
    EXPECT_EQ(told(2), (QList<QStringList>{
                           {"Vellory 2", "Automatic backup started", "Backing up to \"STICK\"."},
                           {"Vellory 2", "Backup completed with 1 error",
                            "1 item backed up, 5 bytes. \"STICK\" was ejected and can now be removed safely.",
                            "show-log", "Show Log"}}));

    // The notification service's ActionInvoked for the backup's end (the
    // stand-in numbers notifications from 1).
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                     QStringLiteral("org.freedesktop.Notifications"),
                                                     QStringLiteral("ActionInvoked"));
    m_service.send(signal << 2u << QStringLiteral("show-log"));
    ASSERT_TRUE(waitUntil([&] { return logRequests.size() == 1; }));
    EXPECT_EQ(logRequests.first().value(0).toString(), controller.threads()->jobAt(0)->id());

    fixture.ejector.setAnswer(QStringLiteral("A file on the volume is open."));
    controller.ejectVolume();
    EXPECT_EQ(told(3).value(2), (QStringList{"Vellory 2", "Could not eject \"STICK\"", "A file on the volume is open."}));
}

TEST_F(DesktopServicesTest, SleepIsInhibitedWhileAJobRunsHoweverItEndsAndThePortalsRequestIsClosed)
{
    enum class End { RunEnds, Cancelled, JobDropped };
    for (const End end : {End::RunEnds, End::Cancelled, End::JobDropped}) {
        SCOPED_TRACE(int(end));
        desktop.calls.clear();
        ControllerFixture local;
        BackupScript script;
        script.sourcePaths = {sources.path()};
        script.volumePath = destination.path();
        local.storeSet(script);
        BackupController &controller = local.start();
        platform::SleepInhibitor inhibitor(platform::SleepInhibitor::Route::LoginManager, bus);
        SleepWhileBackingUp guard(controller, inhibitor);
        QSignalSpy answered(&inhibitor, &platform::SleepInhibitor::answered);

        if (end == End::JobDropped) {
            // A job that never runs to its end: held until the job is gone.
            auto job = BackupThread::create(script, IconDescription());
            emit controller.backupStarted(job.get());
            ASSERT_TRUE(waitUntil([&] { return answered.size() == 1; }));
            EXPECT_TRUE(inhibitor.isHeld() && desktop.inhibitorHeld());
            job.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else {
            controller.startBackup();
            if (end == End::Cancelled) {
                controller.threads()->jobAt(0)->cancel();
            }
        }
        ASSERT_TRUE(waitUntil([&] { return guard.runningJobs() == 0 && !desktop.calls.value(QStringLiteral("Inhibit")).isEmpty(); }));
        EXPECT_EQ(desktop.calls.value(QStringLiteral("Inhibit")).first(),
                  (QVariantList{"sleep:idle:shutdown", "Vellory 2", "A backup is running", "block"}));
        // Released, also when the grant arrives after the job has ended.
        EXPECT_TRUE(waitUntil([&] { return !desktop.inhibitorHeld(); }));
    }

    // Through the portal the request is closed on release; on a bus without
    // the desktop's services nothing is shown or held and nothing breaks.
    desktop.calls.clear();
    platform::SleepInhibitor portal(platform::SleepInhibitor::Route::DesktopPortal, bus);
    QSignalSpy answered(&portal, &platform::SleepInhibitor::answered);
    portal.acquire(QStringLiteral("A backup is running"));
    ASSERT_TRUE(waitUntil([&] { return answered.size() == 1; }));
    EXPECT_TRUE(portal.isHeld());
    EXPECT_EQ(desktop.calls.value(QStringLiteral("Inhibit")).value(0).value(1).toUInt(), 13u); // logout | suspend | idle
    portal.release();
    ASSERT_TRUE(waitUntil([&] { return desktop.calls.value(QStringLiteral("Close")).size() == 1; }));
    EXPECT_FALSE(portal.isHeld());

    desktop.calls.clear();
    PrivateBus empty;
    QDBusConnection bare = QDBusConnection::connectToBus(empty.address(), QStringLiteral("second"));
    platform::DesktopNotifier notifier(bare);
    notifier.notify(QStringLiteral("Backup finished"), QStringLiteral("body"));
    platform::SleepInhibitor inhibitor(platform::SleepInhibitor::Route::LoginManager, bare);
    QSignalSpy refused(&inhibitor, &platform::SleepInhibitor::answered);
    inhibitor.acquire(QStringLiteral("A backup is running"));
    ASSERT_TRUE(waitUntil([&] { return refused.size() == 1; }));
    EXPECT_FALSE(refused.first().value(0).toBool());
    EXPECT_FALSE(inhibitor.isHeld());
    EXPECT_TRUE(desktop.calls.isEmpty());
}

TEST_F(DesktopServicesTest, SecondLaunchActivatesTheFirstInstance)
{
    const QString appId = QStringLiteral("com.brindlewick.vellory2");
    platform::ApplicationBus first(appId, bus);
    ASSERT_EQ(first.claim(), platform::ApplicationBus::Claim::Primary);
    QSignalSpy activated(&first, &platform::ApplicationBus::activated);
    QSignalSpy actions(&first, &platform::ApplicationBus::actionRequested);

    qputenv("XDG_ACTIVATION_TOKEN", "token-42");
    platform::ApplicationBus second(appId, QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("second")));
    EXPECT_EQ(second.claim(), platform::ApplicationBus::Claim::AlreadyRunning);
    EXPECT_EQ(second.claim(QStringLiteral("backup-now")), platform::ApplicationBus::Claim::AlreadyRunning);
    qunsetenv("XDG_ACTIVATION_TOKEN");

    ASSERT_TRUE(waitUntil([&] { return activated.size() == 1 && actions.size() == 1; }));
    EXPECT_EQ(activated.first().value(0).toMap().value(QStringLiteral("activation-token")).toString(),
              QStringLiteral("token-42"));
    EXPECT_EQ(actions.first().value(0).toString(), QStringLiteral("backup-now"));
}

} // namespace
