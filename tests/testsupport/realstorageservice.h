#pragma once

#include "privatebus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>

#include <memory>

// The system's real storage service (udisksd) on a private system bus, for
// one test: dbus-daemon with the system bus rules but listening on a socket
// in the test's folder, the device manager (systemd-udevd) when none runs,
// and udisksd. Devices the test hands to addDevice() get a udev rule giving
// them a serial number and "can be powered off", so that the service shows
// them as a drive that can be ejected. Stops exactly the processes it
// started; never acts on devices it was not given. Needs root and the
// programs installed; skipReason() says why not.
//
//   RealStorageService service;
//   if (!service.isRunning()) GTEST_SKIP() << service.skipReason();
class RealStorageService
{
public:
    RealStorageService();
    ~RealStorageService();
    RealStorageService(const RealStorageService &) = delete;
    RealStorageService &operator=(const RealStorageService &) = delete;

    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] QString skipReason() const { return m_reason; }
    [[nodiscard]] QString busAddress() const;
    // A client connection to the private system bus.
    [[nodiscard]] QDBusConnection bus() const;

    // Makes `deviceNode` (a loop device of the test) a drive that can be
    // powered off, and waits until the service shows it.
    bool addDevice(const QString &deviceNode);
    // The service's object path of the block device `deviceNode`; empty
    // when it does not know it.
    [[nodiscard]] QString blockObject(const QString &deviceNode) const;
    // The drive object of that block device; empty when it has none.
    [[nodiscard]] QString driveObject(const QString &deviceNode) const;

private:
    bool startBus();
    bool startDeviceManager();
    bool startStorageService();

    std::unique_ptr<PrivateBus> m_bus;
    QString m_connectionName;
    QString m_rulesFile;
    QProcess m_deviceManager;
    QProcess m_storageService;
    QString m_reason;
    bool m_running = false;
};
