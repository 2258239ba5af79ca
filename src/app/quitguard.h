#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class BackupController;
class BackupThread;
class QSessionManager;

/// Keeps quitting from cutting a backup short. Quit, from the menu, the
/// status icon, a closed last window or another launch, goes through
/// requestQuit(): with no job running the application ends at once; while
/// one runs the person is asked "A backup to "STICK" is running. Stop it and
/// quit?", Cancel being the default. Stopping cancels the running jobs and
/// ends the application once they have finished their closing steps. A
/// logout asks the same through the session manager and is cancelled on no.
class QuitGuard : public QObject
{
    Q_OBJECT

public:
    /// Asks the person `question`; true to stop the backups and quit.
    using Asker = std::function<bool(const QString &question)>;

    /// `ask` null: a message box with "Stop and Quit" and Cancel (default).
    explicit QuitGuard(BackupController &controller, Asker ask = {}, QObject *parent = nullptr);

    /// The question for the jobs running now; empty when none runs.
    [[nodiscard]] QString question() const;

    /// Quits, after asking while a job runs. False when the person chose to
    /// keep the backup running.
    bool requestQuit();

    /// The standard question box: "Stop and Quit" or Cancel, the default.
    [[nodiscard]] static bool askWithMessageBox(const QString &question);

signals:
    /// The application should end now.
    void quitConfirmed();

private:
    [[nodiscard]] QList<BackupThread *> runningJobs() const;
    void stopAndQuit(const QList<BackupThread *> &jobs);
    void commitData(QSessionManager &manager);

    BackupController &m_controller;
    Asker m_ask;
    bool m_stopping = false;
};
