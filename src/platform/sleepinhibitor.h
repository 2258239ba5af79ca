#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

namespace platform {

/// Keeps the machine from suspending, going idle to sleep, powering off or
/// rebooting, and the session from logging out, while held: the desktop asks
/// the person first and shows the reason given. Outside a sandbox it asks the
/// login manager (org.freedesktop.login1 Inhibit, "sleep:idle:shutdown", mode
/// "block") on the system bus and holds the file descriptor it returns;
/// releasing closes it. In a sandbox (Flatpak) it asks the desktop portal's
/// Inhibit (logout, suspend, idle) on the session bus and closes the request
/// to release. Calls never wait; where neither service answers, nothing is held
/// and nothing breaks.
class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    enum class Route { LoginManager, DesktopPortal };

    /// The route this process should take (the portal inside Flatpak).
    [[nodiscard]] static Route routeForThisProcess();

    /// This machine's buses, by routeForThisProcess().
    explicit SleepInhibitor(QObject *parent = nullptr);
    /// `bus` is the system bus for the login manager, the session bus for
    /// the portal (tests: private buses).
    SleepInhibitor(Route route, const QDBusConnection &bus, QObject *parent = nullptr);
    ~SleepInhibitor() override;

    /// Asks for the inhibitor, giving `why`; nothing when already asked.
    void acquire(const QString &why);
    /// Gives it back (also one whose answer has not arrived yet).
    void release();

    /// Whether the service granted it and it is held now.
    [[nodiscard]] bool isHeld() const { return m_fd.isValid() || !m_portalRequest.isEmpty(); }

signals:
    /// The service's answer to acquire() arrived (held or not).
    void answered(bool held);

private:
    void closePortalRequest();

    Route m_route;
    QDBusConnection m_bus;
    bool m_wanted = false;
    quint64 m_generation = 0; ///< answers of an earlier acquire() are dropped
    QDBusUnixFileDescriptor m_fd;
    QString m_portalRequest;
};

} // namespace platform
