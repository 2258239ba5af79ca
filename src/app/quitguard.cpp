#include "app/quitguard.h"

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "platform/buildinfo.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QSet>
#include <QTimer>

namespace {

// How long stopping waits for the runs' closing steps before it quits all
// the same (a run stuck on a hung volume must not keep the application).
constexpr int kStopWaitMs = 10'000;

} // namespace

QuitGuard::QuitGuard(BackupController &controller, Asker ask, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_ask(ask ? std::move(ask) : Asker(&QuitGuard::askWithMessageBox))
{
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &QuitGuard::commitData, Qt::DirectConnection);
    }
}

QList<BackupThread *> QuitGuard::runningJobs() const
{
    QList<BackupThread *> running;
    BackupThreadListModel *jobs = m_controller.threads();
    for (int row = 0; row < jobs->count(); ++row) {
        const std::shared_ptr<BackupThread> job = jobs->jobAt(row);
        if (job && job->isRunning()) {
            running.append(job.get());
        }
    }
    return running;
}

QString QuitGuard::question() const
{
    const QList<BackupThread *> running = runningJobs();
    if (running.isEmpty()) {
        return QString();
    }
    if (running.size() > 1) {
        return tr("%1 backups are running. Stop them and quit?").arg(running.size());
    }
    const QString volume = running.first()->script().volumeName;
    return volume.isEmpty() ? tr("A backup is running. Stop it and quit?")
                            : tr("A backup to \"%1\" is running. Stop it and quit?").arg(volume);
}

bool QuitGuard::requestQuit()
{
    if (m_stopping) {
        return true;
    }
    const QList<BackupThread *> running = runningJobs();
    if (running.isEmpty()) {
        emit quitConfirmed();
        return true;
    }
    if (!m_ask(question())) {
        return false;
    }
    // The jobs may have ended while the question was open.
    stopAndQuit(runningJobs());
    return true;
}

void QuitGuard::stopAndQuit(const QList<BackupThread *> &jobs)
{
    m_stopping = true;
    const auto finish = [this] {
        if (m_stopping) {
            m_stopping = false;
            emit quitConfirmed();
        }
    };
    // Each run ends with its closing steps (its summary, a flush); the
    // application waits for the last of them.
    auto pending = std::make_shared<QSet<BackupThread *>>(jobs.cbegin(), jobs.cend());
    for (BackupThread *job : jobs) {
        const auto ended = [pending, job, finish] {
            if (pending->remove(job) && pending->isEmpty()) {
                finish();
            }
        };
        connect(job, &BackupThread::runFinished, this, ended);
        connect(job, &QObject::destroyed, this, ended);
        job->cancel();
    }
    QTimer::singleShot(kStopWaitMs, this, finish);
}

bool QuitGuard::askWithMessageBox(const QString &question)
{
    QMessageBox box(QMessageBox::Question, platform::buildinfo::applicationName(), question);
    box.setObjectName(QStringLiteral("quitQuestion"));
    QPushButton *stop = box.addButton(tr("Stop and Quit"), QMessageBox::DestructiveRole);
    QPushButton *keep = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == stop;
}

void QuitGuard::commitData(QSessionManager &manager)
{
    const QString asked = question();
    if (asked.isEmpty()) {
        return;
    }
    // The session may end only after the person agreed; without a chance
    // to ask, it is asked to wait (the login manager's inhibitor tells why).
    if (!manager.allowsInteraction()) {
        manager.cancel();
        return;
    }
    const bool stop = m_ask(asked);
    manager.release();
    if (!stop) {
        manager.cancel();
        return;
    }
    for (BackupThread *job : runningJobs()) {
        job->cancel();
    }
}
