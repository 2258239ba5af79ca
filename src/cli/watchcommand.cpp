#include "cli/watchcommand.h"

#include "cli/cliconsole.h"

#include <QEventLoop>
#include <QSet>

#include <cstdlib>

QString WatchCommand::summary() const
{
    return QStringLiteral("Follows volume events until interrupted; mounting the destination starts a backup "
                          "(when automatic backup is on) and prints its log.");
}

void WatchCommand::prepare()
{
    // Before any thread starts, so that every thread inherits the blocked signals.
    m_interrupts = std::make_unique<platform::InterruptNotifier>();
}

int WatchCommand::run(ControllerSession &session, const QStringList &, CliConsole &console)
{
    BackupController &controller = session.controller();
    QEventLoop loop;
    QSet<BackupThread *> running;
    bool stopping = false;

    QObject::connect(&controller, &BackupController::backupStarted, &loop, [&](BackupThread *job) {
        console.printLine(job->log().constFirst());
        running.insert(job);
        QObject::connect(job, &BackupThread::logLineAppended, &loop,
                         [&console](const QString &line) { console.printLine(line); });
        QObject::connect(job, &BackupThread::runFinished, &loop, [&, job] {
            running.remove(job);
            if (stopping && running.isEmpty()) {
                loop.quit();
            }
        });
        if (stopping) {
            job->cancel();
        }
    });
    QObject::connect(m_interrupts.get(), &platform::InterruptNotifier::interrupted, &loop, [&] {
        if (stopping) {
            // A second interrupt: stop without waiting for the jobs' close.
            std::_Exit(kFailed);
        }
        stopping = true;
        if (running.isEmpty()) {
            loop.quit();
            return;
        }
        for (BackupThread *job : std::as_const(running)) {
            job->cancel();
        }
    });

    // On standard error, so that standard output holds only the events' and jobs' lines.
    QObject::connect(&session.services().monitor(), &volumes::LinuxVolumeMonitor::ready, &loop, [&console] {
        console.printError(QStringLiteral("vellory-cli watch: following volume events; SIGINT or SIGTERM ends"));
    });
    session.services().monitor().start();
    loop.exec();
    QObject::disconnect(&controller, nullptr, &loop, nullptr);
    return kDone;
}
