#pragma once

#include "platform/linuxvolumetable.h"
#include "platform/volumemonitor.h"

#include <QDBusConnection>
#include <QList>
#include <QThreadPool>
#include <QTimer>

#include <chrono>

class QDBusMessage;
class QSocketNotifier;

namespace platform {

/// Follows this machine's volumes. The kernel announces every change of the
/// mount table (a readable-urgent event on /proc/self/mountinfo); the monitor
/// then reads the volume table again on a thread of its own and reports the
/// difference on its own thread. A new label on a mounted file system is
/// announced by nobody when it is set through the kernel (e2label on a
/// mounted ext4 volume does that), so labels are also read again on a slow
/// timer. Where the system's storage service runs (UDisks2 on the system
/// bus), its change signals trigger a reading at once as well (it sees
/// labels written to the device, as fatlabel does). exFAT volumes cannot be
/// relabelled while mounted (exfatlabel needs the device to itself); their
/// new label arrives with the next mount.
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

    /// Takes the first reading (in the background) and then reports changes
    /// from it; ready() says when that reading is in.
    void start() override;

    [[nodiscard]] bool isReady() const { return m_ready; }
    /// Whether the storage service's signals are followed too.
    [[nodiscard]] bool followsStorageService() const { return m_followsStorageService; }
    /// The volumes as of the last reading.
    [[nodiscard]] QList<MountedVolume> knownVolumes() const { return m_known; }

signals:
    /// The first reading is in; changes from now on are reported.
    void ready();

private slots:
    void onStorageServiceSignal(const QDBusMessage &message);

private:
    void requestScan();
    void finishScan(const QList<MountedVolume> &volumes);
    void followStorageService();

    QDBusConnection m_storageBus;
    LinuxVolumeTable m_table;
    QThreadPool m_scanner;
    QTimer m_labelPoll;
    QSocketNotifier *m_mountTableNotifier = nullptr;
    int m_mountTableFd = -1;
    QList<MountedVolume> m_known;
    bool m_started = false;
    bool m_ready = false;
    bool m_scanning = false;
    bool m_rescanWanted = false;
    bool m_followsStorageService = false;
};

} // namespace platform
