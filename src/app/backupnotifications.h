#pragma once

#include <QObject>
#include <QString>

#include <functional>

class BackupController;
class BackupThread;

namespace platform {
class DesktopNotifier;
}

/// Tells the person through desktop notifications when a backup ends (what
/// it backed up, whether the volume can be removed, how many errors, with a
/// button that opens the job's log), when a backup starts because the
/// destination was connected, and when the eject button's eject fails.
class BackupNotifications : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kShowLogAction = "show-log";

    BackupNotifications(BackupController &controller, platform::DesktopNotifier &notifier,
                        QObject *parent = nullptr);

    /// The summary and body told when `job` has ended.
    [[nodiscard]] static QString endedSummary(const BackupThread &job);
    [[nodiscard]] static QString endedBody(const BackupThread &job);

    /// A sentence added to an ended backup's notification when `note` gives
    /// one (the first backup's word on "Start at login").
    void setEndNote(std::function<QString(const BackupThread &job)> note) { m_endNote = std::move(note); }

signals:
    /// The person asked to see the log of the job `jobId`.
    void showLogRequested(const QString &jobId);

private:
    void follow(BackupThread *job);
    void jobEnded(BackupThread *job);

    BackupController &m_controller;
    platform::DesktopNotifier &m_notifier;
    std::function<QString(const BackupThread &job)> m_endNote;
};
