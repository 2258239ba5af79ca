#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

class QDBusMessage;

namespace platform {

/// Shows desktop notifications through the notification service
/// (org.freedesktop.Notifications) on the session bus. Calls never wait:
/// where no service runs, a notification is simply not shown.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    /// One button of a notification: the key told back, the text shown.
    struct Action
    {
        QString key;
        QString label;
    };

    /// The service on the session bus.
    explicit DesktopNotifier(QObject *parent = nullptr);
    /// The service on `bus` (tests: a private bus).
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    /// Asks for a notification; `tag` comes back with actionInvoked when the
    /// person presses one of `actions`.
    void notify(const QString &summary, const QString &body, const QList<Action> &actions = {},
                const QString &tag = QString());

signals:
    /// The person pressed the action `key` of the notification `tag`.
    void actionInvoked(const QString &tag, const QString &key);

private slots:
    void onActionInvoked(uint id, const QString &key);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QHash<uint, QString> m_tags; ///< notification id -> tag, while shown
};

} // namespace platform
