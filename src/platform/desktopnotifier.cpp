#include "platform/desktopnotifier.h"

#include "platform/buildinfo.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected()) {
        return;
    }
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void DesktopNotifier::notify(const QString &summary, const QString &body, const QList<Action> &actions,
                             const QString &tag)
{
    if (!m_bus.isConnected()) {
        return;
    }
    QStringList actionList;
    for (const Action &action : actions) {
        actionList << action.key << action.label;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), buildinfo::bundleIdentifier());
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << buildinfo::applicationName() << uint(0) << buildinfo::bundleIdentifier() << summary << body
         << actionList << hints << int(-1);
    // No service: the call fails and nothing is shown; it is never waited for.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, tag] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid() && !tag.isEmpty()) {
            m_tags.insert(reply.value(), tag);
        }
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString &key)
{
    if (const auto tag = m_tags.constFind(id); tag != m_tags.constEnd()) {
        emit actionInvoked(*tag, key);
    }
}

void DesktopNotifier::onClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    m_tags.remove(id);
}

} // namespace platform
