#include "realstorageservice.h"

#include "systemcommands.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtCore/qtestsupport_core.h>

#include <unistd.h>

namespace {

const QString kSystemConfig = QStringLiteral("/usr/share/dbus-1/system.conf");
const QString kDeviceManager = QStringLiteral("/lib/systemd/systemd-udevd");
const QString kStorageDaemon = QStringLiteral("/usr/libexec/udisks2/udisksd");
const QString kService = QStringLiteral("org.freedesktop.UDisks2");

bool udevadm(const QStringList &arguments)
{
    return runCommand(QStringLiteral("udevadm"), arguments);
}

bool deviceManagerAnswers()
{
    return udevadm({QStringLiteral("control"), QStringLiteral("--ping"), QStringLiteral("--timeout=2")});
}

// Only a process this fixture started, by its own handle.
void stop(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

} // namespace

RealStorageService::RealStorageService()
    : m_connectionName(QStringLiteral("real-storage-service-%1").arg(quintptr(this)))
    , m_rulesFile(QStringLiteral("/run/udev/rules.d/99-vellory-test-%1-%2.rules")
                      .arg(QCoreApplication::applicationPid())
                      .arg(quintptr(this)))
{
    if (geteuid() != 0) {
        m_reason = QStringLiteral("the storage service needs root");
        return;
    }
    for (const QString &program : {kSystemConfig, kDeviceManager, kStorageDaemon,
                                   QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")),
                                   QStandardPaths::findExecutable(QStringLiteral("udevadm"))}) {
        if (!QFileInfo::exists(program)) {
            m_reason = program + QStringLiteral(" is not installed (dbus, udev, udisks2)");
            return;
        }
    }
    m_running = startBus() && startDeviceManager() && startStorageService();
}

RealStorageService::~RealStorageService()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    stop(m_storageService);
    if (QFile::remove(m_rulesFile)) {
        udevadm({QStringLiteral("control"), QStringLiteral("--reload")});
    }
    stop(m_deviceManager);
}

QString RealStorageService::busAddress() const
{
    return m_bus ? m_bus->address() : QString();
}

QDBusConnection RealStorageService::bus() const
{
    return QDBusConnection::connectToBus(busAddress(), m_connectionName);
}

bool RealStorageService::startBus()
{
    QFile systemConfig(kSystemConfig);
    if (!systemConfig.open(QIODevice::ReadOnly)) {
        m_reason = QStringLiteral("cannot read the system bus configuration");
        return false;
    }
    // The system rules, but on a socket of the test's own: no pid file, no
    // forking, no services started by the bus, running as the test's user,
    // and no local additions that might listen elsewhere.
    QString config = QString::fromUtf8(systemConfig.readAll());
    config.remove(QRegularExpression(QStringLiteral("<!--.*?-->"), QRegularExpression::DotMatchesEverythingOption));
    for (const char *pattern : {"<user>[^<]*</user>", "<fork/>", "<pidfile>[^<]*</pidfile>",
                                "<standard_system_servicedirs/>", "<servicehelper>[^<]*</servicehelper>",
                                "<listen>[^<]*</listen>", "<include[^>]*>[^<]*</include>"}) {
        config.remove(QRegularExpression(QString::fromLatin1(pattern)));
    }
    config.replace(QStringLiteral("<includedir>system.d</includedir>"),
                   QStringLiteral("<includedir>/usr/share/dbus-1/system.d</includedir>"));
    m_bus = std::make_unique<PrivateBus>(config.toUtf8());
    m_reason = m_bus->skipReason();
    return !busAddress().isEmpty();
}

bool RealStorageService::startDeviceManager()
{
    if (deviceManagerAnswers()) {
        return true;
    }
    m_deviceManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_deviceManager.start(kDeviceManager, {});
    if (!m_deviceManager.waitForStarted(10000) || !QTest::qWaitFor(deviceManagerAnswers, 10000)) {
        m_reason = QStringLiteral("systemd-udevd did not start");
        return false;
    }
    return true;
}

bool RealStorageService::startStorageService()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress());
    m_storageService.setProcessEnvironment(environment);
    m_storageService.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_storageService.start(kStorageDaemon, {});
    QDBusConnection client = bus();
    const bool up = m_storageService.waitForStarted(10000) && QTest::qWaitFor([&client] {
        return client.interface() && client.interface()->isServiceRegistered(kService).value();
    }, 10000);
    if (!up) {
        m_reason = QStringLiteral("udisksd did not start or take its name on the bus");
    }
    return up;
}

bool RealStorageService::addDevice(const QString &deviceNode)
{
    if (!m_running || deviceNode.isEmpty()) {
        return false;
    }
    QDir().mkpath(QFileInfo(m_rulesFile).absolutePath());
    QFile rules(m_rulesFile);
    const QString name = QFileInfo(deviceNode).fileName();
    const QString rule =
        QStringLiteral("KERNEL==\"%1\", ENV{ID_SERIAL}=\"Vellory_Test_%1\", ENV{UDISKS_CAN_POWER_OFF}=\"1\"\n").arg(name);
    // Then only this device is triggered: other tests' devices are left alone.
    if (!rules.open(QIODevice::Append) || rules.write(rule.toUtf8()) < 0 || !rules.flush()
        || !udevadm({QStringLiteral("control"), QStringLiteral("--reload")})
        || !udevadm({QStringLiteral("trigger"), QStringLiteral("--action=add"), QStringLiteral("--settle"), deviceNode})) {
        return false;
    }
    return QTest::qWaitFor([this, &deviceNode] { return !driveObject(deviceNode).isEmpty(); }, 10000);
}

QString RealStorageService::blockObject(const QString &deviceNode) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                                                       QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                                       QStringLiteral("ResolveDevice"));
    call << QVariantMap{{QStringLiteral("path"), deviceNode}} << QVariantMap();
    const QDBusReply<QList<QDBusObjectPath>> reply = bus().call(call, QDBus::Block, 5000);
    return reply.isValid() && !reply.value().isEmpty() ? reply.value().first().path() : QString();
}

QString RealStorageService::driveObject(const QString &deviceNode) const
{
    const QString block = blockObject(deviceNode);
    if (block.isEmpty()) {
        return QString();
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, block, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.UDisks2.Block") << QStringLiteral("Drive");
    const QDBusReply<QDBusVariant> reply = bus().call(call, QDBus::Block, 5000);
    const QString drive = reply.isValid() ? qvariant_cast<QDBusObjectPath>(reply.value().variant()).path() : QString();
    return drive == QLatin1String("/") ? QString() : drive;
}
