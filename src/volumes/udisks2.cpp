#include "volumes/udisks2.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDebug>
#include <QVariantMap>

namespace volumes::udisks2 {

namespace {

const QString service = QString::fromLatin1(serviceName);
const QString managerPath = QStringLiteral("/org/freedesktop/UDisks2/Manager");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString encryptedInterface = QStringLiteral("org.freedesktop.UDisks2.Encrypted");
// Unmounting flushes the volume's caches, which can take a while on a slow stick.
constexpr int callTimeoutMs = 120000;

QDBusMessage call(const QDBusConnection &bus, const QString &path, const QString &interface,
                  const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

QVariant property(const QDBusConnection &bus, const QString &path, const QString &interface, const QString &name)
{
    const QDBusMessage reply = call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return QVariant();
    }
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QString objectPathProperty(const QDBusConnection &bus, const QString &path, const QString &interface,
                           const QString &name)
{
    const QString value = property(bus, path, interface, name).value<QDBusObjectPath>().path();
    return value == QLatin1String("/") ? QString() : value;
}

QString errorText(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QString();
}

} // namespace

bool isAvailable(const QDBusConnection &bus)
{
    if (!bus.isConnected() || !bus.interface()) {
        return false;
    }
    if (bus.interface()->isServiceRegistered(service)) {
        return true;
    }
    const QDBusReply<QStringList> activatable = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(service);
}

std::optional<QString> unmountAndEject(const QString &deviceNode, const QDBusConnection &bus)
{
    if (!isAvailable(bus)) {
        return std::nullopt;
    }
    const QDBusMessage resolved = call(bus, managerPath, QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                       QStringLiteral("ResolveDevice"),
                                       {QVariantMap{{QStringLiteral("path"), deviceNode}}, QVariantMap()});
    if (resolved.type() != QDBusMessage::ReplyMessage || resolved.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QList<QDBusObjectPath> blocks = qdbus_cast<QList<QDBusObjectPath>>(resolved.arguments().first());
    if (blocks.isEmpty()) {
        return std::nullopt;
    }
    const QString block = blocks.first().path();

    const QString unmountError = errorText(call(bus, block, filesystemInterface, QStringLiteral("Unmount"), {QVariantMap()}));
    if (!unmountError.isEmpty()) {
        return unmountError;
    }

    // The drive is reached through the encrypted container when there is one;
    // the container must be locked before the drive can be powered off.
    QString driveOwner = block;
    const QString container = objectPathProperty(bus, block, blockInterface, QStringLiteral("CryptoBackingDevice"));
    if (!container.isEmpty()) {
        const QString lockError = errorText(call(bus, container, encryptedInterface, QStringLiteral("Lock"), {QVariantMap()}));
        if (!lockError.isEmpty()) {
            qInfo().noquote() << "unmountAndEject() locking" << container << lockError;
            return QString();
        }
        driveOwner = container;
    }
    const QString drive = objectPathProperty(bus, driveOwner, blockInterface, QStringLiteral("Drive"));
    if (drive.isEmpty()) {
        return QString();
    }
    // The volume is unmounted: that is the request. A drive that will not
    // power off (another of its partitions is in use) is only logged.
    QString driveError;
    if (property(bus, drive, driveInterface, QStringLiteral("CanPowerOff")).toBool()) {
        driveError = errorText(call(bus, drive, driveInterface, QStringLiteral("PowerOff"), {QVariantMap()}));
    } else if (property(bus, drive, driveInterface, QStringLiteral("Ejectable")).toBool()) {
        driveError = errorText(call(bus, drive, driveInterface, QStringLiteral("Eject"), {QVariantMap()}));
    }
    if (!driveError.isEmpty()) {
        qInfo().noquote() << "unmountAndEject()" << driveError;
    }
    return QString();
}

} // namespace volumes::udisks2
