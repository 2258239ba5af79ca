#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

// A message bus of the test's own, stopped with the test. Its rules are
// `config` (by default session rules: anyone may own any name and talk to
// anyone); it listens in a folder of its own.
class PrivateBus
{
public:
    explicit PrivateBus(QByteArray config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                                            "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                            "<busconfig><type>session</type><auth>EXTERNAL</auth>"
                                            "<policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>"
                                            "<allow receive_sender=\"*\"/></policy></busconfig>\n")
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !m_dir.isValid()) {
            m_reason = QStringLiteral("dbus-daemon is not installed");
            return;
        }
        const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
        config.replace("<busconfig>", "<busconfig><listen>unix:dir=" + QFile::encodeName(m_dir.path()) + "</listen>");
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
            m_reason = QStringLiteral("cannot write the bus configuration");
            return;
        }
        file.close();
        m_daemon.start(daemon, {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(10000) || !m_daemon.waitForReadyRead(10000)) {
            m_reason = QStringLiteral("dbus-daemon did not start: ") + QString::fromUtf8(m_daemon.readAllStandardError());
            return;
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    [[nodiscard]] QString address() const { return m_address; }
    [[nodiscard]] QString skipReason() const { return m_reason; }

private:
    // Bus addresses cannot hold blanks, which the default template has.
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vellory-bus-XXXXXX")};
    QProcess m_daemon;
    QString m_address;
    QString m_reason;
};
