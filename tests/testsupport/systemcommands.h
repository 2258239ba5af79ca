#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs a system tool to the end; true when it exited with 0.
inline bool runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Ends a process the caller started, by its own handle: asked first, then killed.
inline void stopProcess(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

// What blkid itself reports for a device's tag ("UUID"), apart from the volume table's code.
inline QString blkidValue(const QString &device, const QString &tag)
{
    QProcess process;
    process.start(QStringLiteral("blkid"),
                  {QStringLiteral("-p"), QStringLiteral("-s"), tag, QStringLiteral("-o"), QStringLiteral("value"), device});
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
