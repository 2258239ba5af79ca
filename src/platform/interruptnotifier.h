#pragma once

#include "platform/uniquefd.h"

#include <QObject>

class QSocketNotifier;

namespace platform {

/// Turns SIGINT and SIGTERM into a Qt signal on the thread that created it,
/// so a command-line run can stop its job cleanly. Create it before any
/// other thread starts: the signals are blocked in the creating thread and
/// threads started later inherit that.
class InterruptNotifier : public QObject
{
    Q_OBJECT
public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted(int signalNumber);

private:
    void readSignal();

    UniqueFd m_fd;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform
