#include "cli/runcommand.h"

#include "backup/backupthread.h"
#include "backup/scriptstore.h"
#include "backup/verifyrun.h"
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"
#include "cli/controllersession.h"
#include "platform/interruptnotifier.h"

#include <QEventLoop>
#include <QFile>

#include <cstdlib>
#include <memory>

QString RunCommand::summary() const
{
    if (m_job == Job::verify) {
        return QStringLiteral("Reads back every current copy of the saved backup set (or the one in FILE), compares "
                              "it with its file, recopies those that differ, and prints its log.");
    }
    return QStringLiteral("Backs up the saved backup set (or the one in FILE) now and prints its log.");
}

std::optional<BackupScript> RunCommand::loadSet(const QString &file, QString *error)
{
    if (file.isEmpty()) {
        BackupScriptDecoding stored = ScriptStore().read();
        if (!stored.script) {
            *error = stored.error;
        }
        return stored.script;
    }
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Could not read %1: %2").arg(file, input.errorString());
        return std::nullopt;
    }
    BackupScriptDecoding decoded = decodeBackupScript(input.readAll());
    if (!decoded.script) {
        *error = QStringLiteral("The backup set in %1 is not valid: %2").arg(file, decoded.error);
    }
    return decoded.script;
}

int RunCommand::execute(const QStringList &arguments, CliConsole &console)
{
    QString setFile;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--set") && i + 1 < arguments.size()) {
            setFile = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--set=")) && argument.size() > 6) {
            setFile = argument.mid(6);
        } else {
            console.printError(QStringLiteral("vellory-cli %1: unexpected argument \"%2\"; usage: vellory-cli %1 %3")
                                   .arg(name(), argument, this->arguments()));
            return CommandDispatcher::kUsageError;
        }
    }

    QString error;
    const std::optional<BackupScript> script = loadSet(setFile, &error);
    if (!script) {
        console.printError(QStringLiteral("vellory-cli: cannot load the backup set: ") + error);
        return kSetNotLoaded;
    }

    // Before the job's thread starts, so that it inherits the blocked signals.
    platform::InterruptNotifier interrupts;
    std::unique_ptr<ControllerSession> session;
    std::shared_ptr<BackupThread> job;
    if (setFile.isEmpty()) {
        // The stored set runs as the window would run it: the controller
        // finds the destination by its UUID (a new mount path or name is
        // saved), starts the job and stamps lastBackup.
        session = std::make_unique<ControllerSession>(QString(), [&console](const QString &line) {
            console.printLine(line);
        });
        if (m_job == Job::verify) {
            job = session->controller().startJob(VerifyRun::jobKind(session->controller().script().volumeName));
        } else {
            session->controller().startBackup();
            job = session->controller().threads()->jobAt(0);
        }
    } else {
        job = BackupThread::create(*script, IconDescription(),
                                   m_job == Job::verify ? VerifyRun::jobKind(script->volumeName) : JobKind());
    }
    console.printLine(job->log().constFirst());
    QObject::connect(job.get(), &BackupThread::logLineAppended, job.get(),
                     [&console](const QString &line) { console.printLine(line); });

    QEventLoop loop;
    QObject::connect(job.get(), &BackupThread::runFinished, &loop, &QEventLoop::quit);
    QObject::connect(&interrupts, &platform::InterruptNotifier::interrupted, &loop, [&] {
        if (job->status() == BackupThreadStatusValue::cancelled) {
            // A second interrupt: stop without waiting for the run's close.
            std::_Exit(kFailedOrCancelled);
        }
        job->cancel();
    });

    if (!session) {
        job->setStatus(BackupThreadStatusValue::scanning);
        job->start();
    }
    loop.exec();
    QObject::disconnect(job.get(), nullptr, nullptr, nullptr);

    const bool clean = job->status() == BackupThreadStatusValue::completed && job->errorCount() == 0;
    return clean ? kCompleted : kFailedOrCancelled;
}
