#include "platform/sleepinhibitor.h"

#include "platform/buildinfo.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

namespace platform {

namespace {

// The portal's Inhibit flags: logout (which covers power-off and reboot
// from the session), suspend and idle.
constexpr uint kPortalLogout = 1;
constexpr uint kPortalSuspend = 4;
constexpr uint kPortalIdle = 8;

} // namespace

SleepInhibitor::Route SleepInhibitor::routeForThisProcess()
{
    const bool sandboxed = !qEnvironmentVariableIsEmpty("FLATPAK_ID") || QFileInfo::exists(QStringLiteral("/.flatpak-info"));
    return sandboxed ? Route::DesktopPortal : Route::LoginManager;
}

SleepInhibitor::SleepInhibitor(QObject *parent)
    : SleepInhibitor(routeForThisProcess(),
                     routeForThisProcess() == Route::DesktopPortal ? QDBusConnection::sessionBus()
                                                                   : QDBusConnection::systemBus(),
                     parent)
{
}

SleepInhibitor::SleepInhibitor(Route route, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_route(route)
    , m_bus(bus)
{
}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::acquire(const QString &why)
{
    if (m_wanted) {
        return;
    }
    m_wanted = true;
    const quint64 generation = ++m_generation;
    if (!m_bus.isConnected()) {
        emit answered(false);
        return;
    }

    QDBusMessage call;
    if (m_route == Route::LoginManager) {
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                              QStringLiteral("/org/freedesktop/login1"),
                                              QStringLiteral("org.freedesktop.login1.Manager"),
                                              QStringLiteral("Inhibit"));
        // A delay lock would give a flush of the stick only a few seconds.
        call << QStringLiteral("sleep:idle:shutdown") << buildinfo::applicationName() << why << QStringLiteral("block");
    } else {
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                              QStringLiteral("/org/freedesktop/portal/desktop"),
                                              QStringLiteral("org.freedesktop.portal.Inhibit"),
                                              QStringLiteral("Inhibit"));
        QVariantMap options;
        options.insert(QStringLiteral("reason"), why);
        call << QString() << (kPortalLogout | kPortalSuspend | kPortalIdle) << options;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        const bool current = m_wanted && generation == m_generation;
        if (m_route == Route::LoginManager) {
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
            // A late answer to a released request closes its descriptor at once.
            if (current && reply.isValid()) {
                m_fd = reply.value();
            }
        } else {
            const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
            if (reply.isValid()) {
                m_portalRequest = reply.value().path();
                if (!current) {
                    closePortalRequest();
                }
            }
        }
        if (current) {
            emit answered(isHeld());
        }
    });
}

void SleepInhibitor::release()
{
    m_wanted = false;
    m_fd = QDBusUnixFileDescriptor();
    closePortalRequest();
}

void SleepInhibitor::closePortalRequest()
{
    if (m_portalRequest.isEmpty()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"), m_portalRequest,
                                                       QStringLiteral("org.freedesktop.portal.Request"),
                                                       QStringLiteral("Close"));
    m_bus.asyncCall(call);
    m_portalRequest.clear();
}

} // namespace platform
