#pragma once

#include "backup/backupscript.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>

#include <functional>
#include <ostream>

// Readable QString values in GoogleTest messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Readable sets, as their stored JSON.
inline void PrintTo(const BackupScript &script, std::ostream *out)
{
    *out << encodeBackupScript(script).toStdString();
}

// Runs the event loop until `done` holds or `timeoutMs` passes.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}
