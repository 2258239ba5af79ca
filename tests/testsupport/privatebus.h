#pragma once

#include "systemcommands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

// A message bus of the test's own (session rules: anyone may own any name
// and talk to anyone), stopped with the test.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (daemon.isEmpty() || !file.open(QIODevice::WriteOnly)) {
            m_reason = QStringLiteral("dbus-daemon is not installed or its configuration cannot be written");
            return;
        }
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                   "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type>"
                   "<listen>unix:dir=" + QFile::encodeName(m_dir.path()) + "</listen>"
                   "<auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>"
                   "<allow receive_sender=\"*\"/></policy></busconfig>\n");
        file.close();
        m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(10000) || !m_daemon.waitForReadyRead(10000)) {
            m_reason = QStringLiteral("dbus-daemon did not start");
            return;
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() { stopProcess(m_daemon); }

    [[nodiscard]] QString address() const { return m_address; }
    [[nodiscard]] QString skipReason() const { return m_reason; }

private:
    // Bus addresses cannot hold blanks, which the default template has.
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vellory-bus-XXXXXX")};
    QProcess m_daemon;
    QString m_address;
    QString m_reason;
};
