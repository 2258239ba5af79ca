#include "volumes/linuxvolumemonitor.h"

#include "volumes/udisks2.h"
#include "volumes/volumechanges.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QMutex>
#include <QMutexLocker>
#include <QSocketNotifier>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace volumes {

namespace {

constexpr std::chrono::milliseconds defaultLabelPoll{3000};
constexpr std::chrono::milliseconds defaultStallBound{10000};
// Readings given up on but still running; no more are started beside them.
constexpr int maxStalledReadings = 4;

} // namespace

/// Where a reading thread leaves its result. The monitor lets go of it when
/// it is destroyed, so a reading that comes back late finds nobody to tell.
struct LinuxVolumeMonitor::Mailbox
{
    QMutex lock;
    LinuxVolumeMonitor *monitor = nullptr;
    std::atomic<int> running{0};
};

LinuxVolumeMonitor::LinuxVolumeMonitor(QObject *parent)
    : LinuxVolumeMonitor(QDBusConnection::systemBus(), parent)
{
}

LinuxVolumeMonitor::LinuxVolumeMonitor(const QDBusConnection &storageBus, QObject *parent)
    : VolumeMonitor(parent)
    , m_storageBus(storageBus)
    , m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->monitor = this;
    m_labelPoll.setInterval(defaultLabelPoll);
    connect(&m_labelPoll, &QTimer::timeout, this, &LinuxVolumeMonitor::requestScan);
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(defaultStallBound);
    connect(&m_stallTimer, &QTimer::timeout, this, &LinuxVolumeMonitor::giveUpScan);
}

LinuxVolumeMonitor::~LinuxVolumeMonitor()
{
    {
        // A reading in flight posts nothing after this; nobody waits for it.
        QMutexLocker locker(&m_mailbox->lock);
        m_mailbox->monitor = nullptr;
    }
    delete m_mountTableNotifier;
    if (m_mountTableFd >= 0) {
        close(m_mountTableFd);
    }
}

void LinuxVolumeMonitor::setLabelPollInterval(std::chrono::milliseconds interval)
{
    m_labelPoll.setInterval(interval);
}

void LinuxVolumeMonitor::setStallBound(std::chrono::milliseconds bound)
{
    m_stallTimer.setInterval(bound);
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
    if (m_storageBus.isConnected()) {
        // The storage service may start (or restart) after this program.
        auto *watcher = new QDBusServiceWatcher(QString::fromLatin1(udisks2::serviceName), m_storageBus,
                                                QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &LinuxVolumeMonitor::onBusNameOwnerChanged);
    }
    followStorageService();
    m_labelPoll.start();
    requestScan();
}

void LinuxVolumeMonitor::followStorageService()
{
    if (m_followsStorageService || !udisks2::isAvailable(m_storageBus)) {
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

void LinuxVolumeMonitor::onBusNameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner)
{
    Q_UNUSED(name);
    Q_UNUSED(oldOwner);
    if (newOwner.isEmpty()) {
        return;
    }
    // Matches are kept by the bus connection across owners: connect once.
    followStorageService();
    requestScan();
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
    if (m_mailbox->running.load() >= maxStalledReadings) {
        // Earlier readings are stuck in the kernel; one more would only join them.
        m_rescanWanted = true;
        return;
    }
    m_scanning = true;
    const quint64 reading = ++m_reading;
    m_stallTimer.start();
    ++m_mailbox->running;
    std::thread([mailbox = m_mailbox, table = m_table, reading] {
        const QList<MountedVolume> volumes = table.volumeIdentities();
        --mailbox->running;
        QMutexLocker locker(&mailbox->lock);
        if (LinuxVolumeMonitor *monitor = mailbox->monitor) {
            QMetaObject::invokeMethod(
                monitor, [monitor, reading, volumes] { monitor->finishScan(reading, volumes); }, Qt::QueuedConnection);
        }
    }).detach();
}

void LinuxVolumeMonitor::giveUpScan()
{
    qWarning("LinuxVolumeMonitor: a reading of the volume table did not come back in %lld ms; reading again",
             static_cast<long long>(m_stallTimer.interval()));
    // What it waits on is left out of the next reading.
    m_table.giveUpLooksUnderWay();
    m_scanning = false;
    requestScan();
}

void LinuxVolumeMonitor::finishScan(quint64 reading, const QList<MountedVolume> &volumes)
{
    if (reading != m_reading) {
        // Given up on earlier; a later reading is on its way or in.
        if (!m_scanning && m_rescanWanted) {
            m_rescanWanted = false;
            requestScan();
        }
        return;
    }
    m_stallTimer.stop();
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

} // namespace volumes
