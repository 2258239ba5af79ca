#include "realstorageservice.h"

#include "systemcommands.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

const QString kSystemConfig = QStringLiteral("/usr/share/dbus-1/system.conf");
const QString kDeviceManager = QStringLiteral("/lib/systemd/systemd-udevd");
const QString kStorageDaemon = QStringLiteral("/usr/libexec/udisks2/udisksd");
const QString kService = QStringLiteral("org.freedesktop.UDisks2");

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

bool deviceManagerAnswers()
{
    return runCommand(QStringLiteral("udevadm"), {QStringLiteral("control"), QStringLiteral("--ping"),
                                                   QStringLiteral("--timeout=2")});
}

} // namespace

bool RealStorageService::available(QString *reason)
{
    auto fail = [reason](const QString &why) {
        if (reason) {
            *reason = why;
        }
        return false;
    };
    if (geteuid() != 0) {
        return fail(QStringLiteral("the storage service needs root"));
    }
    for (const QString &program : {kSystemConfig, kDeviceManager, kStorageDaemon}) {
        if (!QFileInfo::exists(program)) {
            return fail(program + QStringLiteral(" is not installed (dbus, udev, udisks2)"));
        }
    }
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("udevadm")).isEmpty()) {
        return fail(QStringLiteral("dbus-daemon or udevadm is not installed"));
    }
    return true;
}

RealStorageService::RealStorageService()
    // Bus addresses cannot hold blanks, which the default template may.
    : m_dir(QDir::tempPath() + QStringLiteral("/vellory-system-bus-XXXXXX"))
    , m_connectionName(QStringLiteral("real-storage-service-%1").arg(quintptr(this)))
{
    if (!available(&m_reason)) {
        return;
    }
    m_rulesFile = QStringLiteral("/run/udev/rules.d/99-vellory-test-%1-%2.rules")
                      .arg(QCoreApplication::applicationPid())
                      .arg(quintptr(this));
    m_running = startBus() && startDeviceManager() && startStorageService();
}

RealStorageService::~RealStorageService()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    stop(m_storageService);
    if (QFile::exists(m_rulesFile)) {
        QFile::remove(m_rulesFile);
        runCommand(QStringLiteral("udevadm"), {QStringLiteral("control"), QStringLiteral("--reload")});
    }
    stop(m_deviceManager);
    stop(m_busDaemon);
}

void RealStorageService::stop(QProcess &process)
{
    // Only a process this fixture started, by its own handle.
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QDBusConnection RealStorageService::bus() const
{
    return QDBusConnection::connectToBus(m_address, m_connectionName);
}

bool RealStorageService::startBus()
{
    QFile systemConfig(kSystemConfig);
    if (!m_dir.isValid() || !systemConfig.open(QIODevice::ReadOnly)) {
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
    const QString socket = m_dir.filePath(QStringLiteral("system_bus_socket"));
    config.replace(QStringLiteral("<includedir>system.d</includedir>"),
                   QStringLiteral("<includedir>/usr/share/dbus-1/system.d</includedir>"));
    config.replace(QStringLiteral("<auth>EXTERNAL</auth>"),
                   QStringLiteral("<auth>EXTERNAL</auth>\n  <listen>unix:path=%1</listen>").arg(socket));
    const QString configPath = m_dir.filePath(QStringLiteral("system.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        m_reason = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    file.close();
    m_busDaemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + configPath,
                                                      QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_busDaemon.waitForStarted(10000) || !m_busDaemon.waitForReadyRead(10000)) {
        m_reason = QStringLiteral("dbus-daemon did not start: ") + QString::fromUtf8(m_busDaemon.readAllStandardError());
        return false;
    }
    m_address = QString::fromUtf8(m_busDaemon.readLine()).trimmed();
    return !m_address.isEmpty();
}

bool RealStorageService::startDeviceManager()
{
    if (deviceManagerAnswers()) {
        return true;
    }
    m_deviceManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_deviceManager.start(kDeviceManager, {});
    if (!m_deviceManager.waitForStarted(10000) || !waitFor(deviceManagerAnswers)) {
        m_reason = QStringLiteral("systemd-udevd did not start");
        return false;
    }
    return true;
}

bool RealStorageService::startStorageService()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    m_storageService.setProcessEnvironment(environment);
    m_storageService.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_storageService.start(kStorageDaemon, {});
    if (!m_storageService.waitForStarted(10000)) {
        m_reason = QStringLiteral("udisksd did not start");
        return false;
    }
    QDBusConnection client = bus();
    const bool up = waitFor([&client] {
        return client.interface() && client.interface()->isServiceRegistered(kService).value();
    });
    if (!up) {
        m_reason = QStringLiteral("udisksd did not take its name on the bus");
    }
    return up;
}

bool RealStorageService::writeRules()
{
    QDir().mkpath(QFileInfo(m_rulesFile).absolutePath());
    QString rules;
    for (const QString &device : m_devices) {
        const QString name = QFileInfo(device).fileName();
        rules += QStringLiteral("KERNEL==\"%1\", ENV{ID_SERIAL}=\"Vellory_Test_%1\", ENV{UDISKS_CAN_POWER_OFF}=\"1\"\n")
                     .arg(name);
    }
    QFile file(m_rulesFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(rules.toUtf8()) < 0) {
        return false;
    }
    file.close();
    return runCommand(QStringLiteral("udevadm"), {QStringLiteral("control"), QStringLiteral("--reload")});
}

bool RealStorageService::retrigger(const QString &deviceNode)
{
    // Only this device: other tests' devices are left alone.
    return runCommand(QStringLiteral("udevadm"), {QStringLiteral("trigger"), QStringLiteral("--action=add"),
                                                   QStringLiteral("--settle"), deviceNode});
}

bool RealStorageService::addDevice(const QString &deviceNode)
{
    if (!m_running || deviceNode.isEmpty()) {
        return false;
    }
    m_devices.append(deviceNode);
    if (!writeRules() || !retrigger(deviceNode)) {
        return false;
    }
    return waitFor([this, &deviceNode] { return !driveObject(deviceNode).isEmpty(); });
}

QString RealStorageService::blockObject(const QString &deviceNode) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                                                       QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                                       QStringLiteral("ResolveDevice"));
    call << QVariantMap{{QStringLiteral("path"), deviceNode}} << QVariantMap();
    const QDBusReply<QList<QDBusObjectPath>> reply = bus().call(call, QDBus::Block, 5000);
    if (!reply.isValid() || reply.value().isEmpty()) {
        return QString();
    }
    return reply.value().first().path();
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
    if (!reply.isValid()) {
        return QString();
    }
    const QString drive = qvariant_cast<QDBusObjectPath>(reply.value().variant()).path();
    return drive == QLatin1String("/") ? QString() : drive;
}
