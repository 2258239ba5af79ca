#include "platform/applicationbus.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace platform {

/// org.freedesktop.Application on the bus, forwarding to ApplicationBus.
class ApplicationBusAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationBusAdaptor(ApplicationBus *owner)
        : QDBusAbstractAdaptor(owner)
        , m_owner(owner)
    {
    }

public slots:
    void Activate(const QVariantMap &platformData) { emit m_owner->activated(platformData); }
    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(uris);
        emit m_owner->activated(platformData);
    }
    void ActivateAction(const QString &action, const QVariantList &parameter, const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        emit m_owner->actionRequested(action);
    }

private:
    ApplicationBus *m_owner;
};

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

// What the desktop gave this launch for raising a window, passed on to the
// running instance as the activation protocol asks.
QVariantMap launchPlatformData()
{
    QVariantMap data;
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty()) {
        data.insert(QStringLiteral("activation-token"), token);
    }
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty()) {
        data.insert(QStringLiteral("desktop-startup-id"), id);
    }
    return data;
}

} // namespace

ApplicationBus::ApplicationBus(const QString &appId, QObject *parent)
    : ApplicationBus(appId, QDBusConnection::sessionBus(), parent)
{
}

ApplicationBus::ApplicationBus(const QString &appId, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_appId(appId)
    , m_bus(bus)
{
    new ApplicationBusAdaptor(this);
}

ApplicationBus::~ApplicationBus()
{
    if (m_registered) {
        m_bus.unregisterObject(objectPath(m_appId));
        m_bus.unregisterService(m_appId);
    }
}

QString ApplicationBus::objectPath(const QString &appId)
{
    QString path = QLatin1Char('/') + appId;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

ApplicationBus::Claim ApplicationBus::claim(const QString &action)
{
    if (!m_bus.isConnected() || !m_bus.interface()) {
        return Claim::Primary;
    }
    // The object first, so that a caller who sees the name finds it served.
    m_bus.registerObject(objectPath(m_appId), this, QDBusConnection::ExportAdaptors);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_appId, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_registered = true;
        return Claim::Primary;
    }
    m_bus.unregisterObject(objectPath(m_appId));
    if (!reply.isValid()) {
        // The bus refused for another reason: run alone rather than not at all.
        return Claim::Primary;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(m_appId, objectPath(m_appId), kInterface,
                                                       action.isEmpty() ? QStringLiteral("Activate")
                                                                        : QStringLiteral("ActivateAction"));
    if (action.isEmpty()) {
        call << launchPlatformData();
    } else {
        call << action << QVariantList() << launchPlatformData();
    }
    // Even when the owner does not answer (hung, or quitting) this process
    // stays out: a second controller would fight it over the same store.
    m_bus.call(call, QDBus::BlockWithGui, 5000);
    return Claim::AlreadyRunning;
}

} // namespace platform

#include "applicationbus.moc"
