#include "platform/linuxvolumemonitor.h"

#include "platform/udisks2.h"
#include "platform/volumechanges.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::chrono::milliseconds defaultLabelPoll{3000};

} // namespace

LinuxVolumeMonitor::LinuxVolumeMonitor(QObject *parent)
    : LinuxVolumeMonitor(QDBusConnection::systemBus(), parent)
{
}

LinuxVolumeMonitor::LinuxVolumeMonitor(const QDBusConnection &storageBus, QObject *parent)
    : VolumeMonitor(parent)
    , m_storageBus(storageBus)
{
    // One reading at a time, on a thread that backup jobs cannot occupy.
    m_scanner.setMaxThreadCount(1);
    m_labelPoll.setInterval(defaultLabelPoll);
    connect(&m_labelPoll, &QTimer::timeout, this, &LinuxVolumeMonitor::requestScan);
}

LinuxVolumeMonitor::~LinuxVolumeMonitor()
{
    // A reading in flight posts its result to this object: let it finish first.
    m_scanner.waitForDone();
    delete m_mountTableNotifier;
    if (m_mountTableFd >= 0) {
        close(m_mountTableFd);
    }
}

void LinuxVolumeMonitor::setLabelPollInterval(std::chrono::milliseconds interval)
{
    m_labelPoll.setInterval(interval);
}

void LinuxVolumeMonitor::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    m_mountTableFd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountTableFd >= 0) {
        // The kernel flags a change of the mount table as exceptional (POLLPRI).
        m_mountTableNotifier = new QSocketNotifier(m_mountTableFd, QSocketNotifier::Exception, this);
        connect(m_mountTableNotifier, &QSocketNotifier::activated, this, &LinuxVolumeMonitor::requestScan);
    } else {
        qInfo("LinuxVolumeMonitor::start() cannot watch the mount table; reading it on the timer only");
    }
    followStorageService();
    m_labelPoll.start();
    requestScan();
}

void LinuxVolumeMonitor::followStorageService()
{
    if (!udisks2::isAvailable(m_storageBus)) {
        return;
    }
    QDBusConnection &bus = m_storageBus;
    const QString service = QString::fromLatin1(udisks2::serviceName);
    const char *slot = SLOT(onStorageServiceSignal(QDBusMessage));
    // An empty path follows every object of the service.
    bool followed = bus.connect(service, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                                QStringLiteral("PropertiesChanged"), this, slot);
    followed = bus.connect(service, QStringLiteral("/org/freedesktop/UDisks2"),
                           QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("InterfacesAdded"),
                           this, slot) && followed;
    followed = bus.connect(service, QStringLiteral("/org/freedesktop/UDisks2"),
                           QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("InterfacesRemoved"),
                           this, slot) && followed;
    m_followsStorageService = followed;
}

void LinuxVolumeMonitor::onStorageServiceSignal(const QDBusMessage &message)
{
    if (message.member() == QLatin1String("PropertiesChanged")) {
        const QString interface = message.arguments().value(0).toString();
        // Mount points and labels; other property changes say nothing about volumes.
        if (interface != QLatin1String("org.freedesktop.UDisks2.Filesystem")
            && interface != QLatin1String("org.freedesktop.UDisks2.Block")) {
            return;
        }
    }
    requestScan();
}

void LinuxVolumeMonitor::requestScan()
{
    if (m_scanning) {
        // Changes during a reading may have been missed by it: read once more.
        m_rescanWanted = true;
        return;
    }
    m_scanning = true;
    m_scanner.start([this] {
        const QList<MountedVolume> volumes = m_table.volumes();
        QMetaObject::invokeMethod(this, [this, volumes] { finishScan(volumes); }, Qt::QueuedConnection);
    });
}

void LinuxVolumeMonitor::finishScan(const QList<MountedVolume> &volumes)
{
    m_scanning = false;
    const QList<VolumeChange> changes = m_ready ? volumeChanges(m_known, volumes) : QList<VolumeChange>();
    m_known = volumes;
    const bool first = !m_ready;
    m_ready = true;
    if (m_rescanWanted) {
        m_rescanWanted = false;
        requestScan();
    }
    if (first) {
        emit ready();
        return;
    }
    for (const VolumeChange &change : changes) {
        switch (change.kind) {
        case VolumeChange::Kind::Mounted:
            emit volumeMounted(change.volume);
            break;
        case VolumeChange::Kind::Unmounted:
            emit volumeUnmounted(change.volume);
            break;
        case VolumeChange::Kind::Renamed:
            emit volumeRenamed(change.volume, change.oldName);
            break;
        }
    }
}

} // namespace platform
