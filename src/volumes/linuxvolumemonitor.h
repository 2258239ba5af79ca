#pragma once

#include "volumes/linuxvolumetable.h"
#include "volumes/volumemonitor.h"

#include <QDBusConnection>
#include <QList>
#include <QTimer>

#include <chrono>
#include <memory>

class QDBusMessage;
class QSocketNotifier;

namespace volumes {

/// Follows this machine's volumes. The kernel announces every change of the
/// mount table (a readable-urgent event on /proc/self/mountinfo); the monitor
/// then reads the volume table again on a thread of its own and reports the
/// difference on its own thread. A new label on a mounted file system is
/// announced by nobody when it is set through the kernel (e2label on a
/// mounted ext4 volume does that), so labels are also read again on a slow
/// timer. Where the system's storage service runs (UDisks2 on the system
/// bus), its change signals trigger a reading at once as well (it sees
/// labels written to the device, as fatlabel does); a service that appears
/// after start() is followed from then on. exFAT volumes cannot be
/// relabelled while mounted (exfatlabel needs the device to itself); their
/// new label arrives with the next mount.
///
/// Readings touch no mounted tree (labels come from the devices), so an
/// unmount anywhere on the machine never finds the monitor in its way. A
/// reading that still does not come back within the stall bound is given up
/// (and logged); the next one runs on a fresh thread, and destroying the
/// monitor never waits for a reading.
class LinuxVolumeMonitor : public VolumeMonitor
{
    Q_OBJECT

public:
    /// Follows the storage service on the system bus, if it runs there.
    explicit LinuxVolumeMonitor(QObject *parent = nullptr);
    /// Follows the storage service on `storageBus` instead.
    explicit LinuxVolumeMonitor(const QDBusConnection &storageBus, QObject *parent = nullptr);
    ~LinuxVolumeMonitor() override;

    /// How often labels are read again; set before start().
    void setLabelPollInterval(std::chrono::milliseconds interval);
    /// How long a reading may take before it is given up.
    void setStallBound(std::chrono::milliseconds bound);
    /// How long the table waits for one volume within a reading (see
    /// LinuxVolumeTable::setAnswerBound()).
    void setAnswerBound(std::chrono::milliseconds bound) { m_table.setAnswerBound(bound); }

    /// Takes the first reading (in the background) and then reports changes
    /// from it; ready() says when that reading is in.
    void start() override;

    [[nodiscard]] bool isReady() const { return m_ready; }
    /// Whether the storage service's signals are followed too.
    [[nodiscard]] bool followsStorageService() const { return m_followsStorageService; }
    /// The volumes as of the last reading.

private slots:
    void onStorageServiceSignal(const QDBusMessage &message);
    void onBusNameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    struct Mailbox;

    void requestScan();
    void giveUpScan();
    void finishScan(quint64 reading, const QList<MountedVolume> &volumes);
    void followStorageService();

    QDBusConnection m_storageBus;
    LinuxVolumeTable m_table;
    std::shared_ptr<Mailbox> m_mailbox;
    QTimer m_labelPoll;
    QTimer m_stallTimer;
    QSocketNotifier *m_mountTableNotifier = nullptr;
    int m_mountTableFd = -1;
    QList<MountedVolume> m_known;
    quint64 m_reading = 0;
    bool m_started = false;
    bool m_ready = false;
    bool m_scanning = false;
    bool m_rescanWanted = false;
    bool m_followsStorageService = false;
};

} // namespace volumes
