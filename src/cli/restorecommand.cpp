#include "cli/restorecommand.h"

#include "backup/backupbrowser.h"
#include "backup/backupthread.h"
#include "backup/restorerun.h"
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"
#include "cli/runcommand.h"
#include "platform/computername.h"
#include "platform/interruptnotifier.h"
#include "platform/mountpoint.h"
#include "volumes/linuxvolumetable.h"

#include <QDir>
#include <QEventLoop>

#include <cstdlib>

namespace {

struct Options
{
    QString setFile;
    QString from;
    QString to;
    QString volume;
    bool skipDiffering = false;
    QStringList paths;
};

// Takes "--name VALUE" or "--name=VALUE" at `i`; false when `argument` is
// not that option.
bool takeValue(const QStringList &arguments, qsizetype &i, const QString &option, QString &value)
{
    const QString &argument = arguments.at(i);
    if (argument == option && i + 1 < arguments.size()) {
        value = arguments.at(++i);
        return true;
    }
    if (argument.startsWith(option + u'=') && argument.size() > option.size() + 1) {
        value = argument.mid(option.size() + 1);
        return true;
    }
    return false;
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

} // namespace

QString backupVolumePath(const BackupScript &script, const QString &volumePath, QString *error)
{
    if (!volumePath.isEmpty()) {
        const QString path = absolute(volumePath);
        if (!platform::isMountPoint(path)) {
            *error = QStringLiteral("%1 is not a mounted volume.").arg(path);
            return {};
        }
        return path;
    }
    if (script.volumeUUID.isEmpty()) {
        *error = QStringLiteral("No destination volume is set; name a mounted volume with --volume PATH.");
        return {};
    }
    for (const volumes::MountedVolume &volume : volumes::LinuxVolumeTable().volumeIdentities()) {
        if (volume.uuid.compare(script.volumeUUID, Qt::CaseInsensitive) == 0) {
            return volume.mountPath;
        }
    }
    *error = QStringLiteral("The backup volume \"%1\" is not connected; nothing was restored.").arg(script.volumeName);
    return {};
}

QString RestoreCommand::arguments() const
{
    return QStringLiteral("[--set FILE] [--from COMPUTER] [--to FOLDER] [--volume PATH] [--skip-differing] PATH...");
}

QString RestoreCommand::summary() const
{
    return QStringLiteral("Restores backed-up files and folders without changing any local file, and prints its log.");
}

namespace {

// Reads the command's arguments into `options`; false, with the reason
// printed, when they are not a valid request.
bool parseOptions(const QStringList &arguments, const QString &usage, CliConsole &console, Options &options)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (takeValue(arguments, i, QStringLiteral("--set"), options.setFile)
            || takeValue(arguments, i, QStringLiteral("--from"), options.from)
            || takeValue(arguments, i, QStringLiteral("--to"), options.to)
            || takeValue(arguments, i, QStringLiteral("--volume"), options.volume)) {
            continue;
        }
        if (argument == QLatin1String("--skip-differing")) {
            options.skipDiffering = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            console.printError(QStringLiteral("vellory-cli restore: unexpected argument \"%1\"; usage: vellory-cli restore %2")
                                   .arg(argument, usage));
            return false;
        } else {
            options.paths << absolute(argument);
        }
    }
    if (options.paths.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli restore: name at least one PATH; usage: vellory-cli restore %1")
                               .arg(usage));
        return false;
    }
    if (!options.from.isEmpty() && options.to.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli restore: --from needs --to FOLDER: another computer's paths "
                                          "belong to that computer"));
        return false;
    }
    return true;
}

// Runs the restore of `request` as a job, printing its log, until it ends;
// an interrupt cancels it, a second one ends the program.
int runRestore(const BackupScript &script, const RestoreRequest &request, CliConsole &console)
{
    platform::InterruptNotifier interrupts;
    const auto job = BackupThread::create(script, IconDescription(), RestoreRun::jobKind(request));
    console.printLine(job->log().constFirst());
    QObject::connect(job.get(), &BackupThread::logLineAppended, job.get(),
                     [&console](const QString &line) { console.printLine(line); });
    QEventLoop loop;
    QObject::connect(job.get(), &BackupThread::runFinished, &loop, &QEventLoop::quit);
    QObject::connect(&interrupts, &platform::InterruptNotifier::interrupted, &loop, [&] {
        if (job->status() == BackupThreadStatusValue::cancelled) {
            std::_Exit(RestoreCommand::kFailed);
        }
        job->cancel();
    });
    job->setStatus(BackupThreadStatusValue::scanning);
    job->start();
    loop.exec();
    QObject::disconnect(job.get(), nullptr, nullptr, nullptr);
    const bool clean = job->status() == BackupThreadStatusValue::completed && job->errorCount() == 0;
    return clean ? RestoreCommand::kRestored : RestoreCommand::kFailed;
}

} // namespace

int RestoreCommand::execute(const QStringList &arguments, CliConsole &console)
{
    Options options;
    if (!parseOptions(arguments, this->arguments(), console, options)) {
        return CommandDispatcher::kUsageError;
    }

    // Without a set (a new computer) a volume named with --volume will do.
    QString error;
    std::optional<BackupScript> script = RunCommand::loadSet(options.setFile, &error);
    if (!script && (!options.setFile.isEmpty() || options.volume.isEmpty())) {
        console.printError(QStringLiteral("vellory-cli: cannot load the backup set: ") + error);
        return RunCommand::kSetNotLoaded;
    }
    if (!script) {
        script = BackupScript();
    }
    RestoreRequest request;
    request.volumePath = backupVolumePath(*script, options.volume, &error);
    if (request.volumePath.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli restore: ") + error);
        return kFailed;
    }
    const bool destination = options.volume.isEmpty();
    request.volumeUUID = destination ? script->volumeUUID : QString();
    if (destination) {
        request.volumeName = script->volumeName;
    } else if (const auto mounted = volumes::LinuxVolumeTable().volumeAt(request.volumePath)) {
        request.volumeName = mounted->localizedName;
    } else {
        request.volumeName = QDir(request.volumePath).dirName();
    }
    request.computer = options.from.isEmpty() ? platform::computerName() : options.from;
    request.paths = options.paths;
    request.targetFolder = options.to.isEmpty() ? QString() : absolute(options.to);
    request.difference = options.skipDiffering ? RestoreRequest::Difference::skip : RestoreRequest::Difference::beside;
    return runRestore(*script, request, console);
}

QString ComputersCommand::summary() const
{
    return QStringLiteral("Lists the computers whose backups are on the destination (or the volume at PATH).");
}

int ComputersCommand::execute(const QStringList &arguments, CliConsole &console)
{
    QString setFile;
    QString volume;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (takeValue(arguments, i, QStringLiteral("--set"), setFile)
            || takeValue(arguments, i, QStringLiteral("--volume"), volume)) {
            continue;
        }
        console.printError(QStringLiteral("vellory-cli computers: unexpected argument \"%1\"; usage: vellory-cli computers %2")
                               .arg(arguments.at(i), this->arguments()));
        return CommandDispatcher::kUsageError;
    }
    QString error;
    std::optional<BackupScript> script = RunCommand::loadSet(setFile, &error);
    if (!script && (!setFile.isEmpty() || volume.isEmpty())) {
        console.printError(QStringLiteral("vellory-cli: cannot load the backup set: ") + error);
        return RunCommand::kSetNotLoaded;
    }
    const QString path = backupVolumePath(script ? *script : BackupScript(), volume, &error);
    if (path.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli computers: ") + error);
        return RestoreCommand::kFailed;
    }
    for (const QString &computer : BackupBrowser(path).computers()) {
        console.printLine(computer);
    }
    return 0;
}
