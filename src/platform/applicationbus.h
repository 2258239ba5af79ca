#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace platform {

/// Makes the application one instance per session: the first process takes
/// the application id as its well-known name on the session bus and serves
/// org.freedesktop.Application at the id's object path; a later process
/// finds the name taken and asks the first to activate instead of starting
/// again. Without a session bus every process runs on its own.
class ApplicationBus : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Primary,        ///< this process owns the name (or no bus: runs alone)
        AlreadyRunning, ///< another process owns it and was told
    };

    /// The application id `appId` (for example "com.brindlewick.vellory2")
    /// on the session bus.
    explicit ApplicationBus(const QString &appId, QObject *parent = nullptr);
    /// The same on `bus` (tests: a private bus).
    ApplicationBus(const QString &appId, const QDBusConnection &bus, QObject *parent = nullptr);
    ~ApplicationBus() override;

    /// Takes the name; when another process has it, asks that one to
    /// Activate (or ActivateAction `action` when given) and answers
    /// AlreadyRunning. Waits for the bus (a local, quick answer).
    Claim claim(const QString &action = QString());

    /// The object path for `appId`: "/" and its dots as slashes.
    [[nodiscard]] static QString objectPath(const QString &appId);

signals:
    /// Another launch (or the desktop) asked this instance to show itself;
    /// `platformData` may carry an "activation-token" or
    /// "desktop-startup-id" for raising the window.
    void activated(const QVariantMap &platformData);
    /// The desktop asked for the named action ("backup-now", "quit", ...).
    void actionRequested(const QString &action);

private:
    friend class ApplicationBusAdaptor;

    QString m_appId;
    QDBusConnection m_bus;
    bool m_registered = false;
};

} // namespace platform
