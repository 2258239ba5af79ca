#include "cli/controllercommands.h"

#include "backup/displayformat.h"
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

namespace {

QString statusText(VolumeStatusValue status)
{
    switch (status) {
    case VolumeStatusValue::NotSpecified: return QStringLiteral("No volume selected");
    case VolumeStatusValue::NotConnected: return QStringLiteral("Not connected");
    case VolumeStatusValue::Connected: return QStringLiteral("Connected");
    }
    return QString();
}

// Sources are absolute paths; a relative one on the command line is taken
// from the current folder.
QString absolutePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

int ControllerCommand::execute(const QStringList &arguments, CliConsole &console)
{
    const ControllerArguments parsed = ControllerArguments::parse(arguments);
    const qsizetype count = parsed.positional.size();
    QString problem = parsed.error;
    if (problem.isEmpty() && count < minimumArguments()) {
        problem = QStringLiteral("missing argument");
    } else if (problem.isEmpty() && count > maximumArguments()) {
        problem = QStringLiteral("unexpected argument \"%1\"").arg(parsed.positional.at(maximumArguments()));
    }
    if (!problem.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli %1: %2; usage: vellory-cli %1 %3")
                               .arg(name(), problem, this->arguments()));
        return CommandDispatcher::kUsageError;
    }
    prepare();
    ControllerSession session(parsed.setFile, [&console](const QString &line) { console.printLine(line); });
    return run(session, parsed.positional, console);
}

QString StatusCommand::summary() const
{
    return QStringLiteral("Shows the destination volume, its state and space, the last backup and the sources.");
}

int StatusCommand::run(ControllerSession &session, const QStringList &, CliConsole &console)
{
    const BackupController &controller = session.controller();
    const bool specified = controller.volumeStatus() != VolumeStatusValue::NotSpecified;
    console.printLine(QStringLiteral("Destination: ")
                      + (specified ? controller.volumeName() : QStringLiteral("No volume selected")));
    if (specified) {
        console.printLine(QStringLiteral("Description: ") + controller.volumeDescription());
    }
    console.printLine(QStringLiteral("Status: ") + statusText(controller.volumeStatus()));
    if (specified) {
        console.printLine(QStringLiteral("Space: %1, %2")
                              .arg(controller.volumeLabelCapacity(), controller.volumeLabelAvailable()));
    }
    console.printLine(QStringLiteral("Last Backup: ") + controller.lastBackup());
    const QStringList sources = controller.sourcePaths();
    console.printLine(sources.isEmpty() ? QStringLiteral("Sources: none") : QStringLiteral("Sources:"));
    for (const QString &source : sources) {
        console.printLine(QStringLiteral("  ") + source);
    }
    return kDone;
}

QString VolumesCommand::summary() const
{
    return QStringLiteral("Lists the mounted volumes, one a line: path, name, UUID, capacity, available space, "
                          "description, access; the destination is marked.");
}

int VolumesCommand::run(ControllerSession &session, const QStringList &, CliConsole &console)
{
    const QString destination = session.controller().volumeUUID();
    for (const volumes::MountedVolume &volume : session.services().table().volumes()) {
        QStringList fields;
        fields << volume.mountPath << QStringLiteral("\"%1\"").arg(volume.localizedName)
               << (volume.uuid.isEmpty() ? QStringLiteral("no UUID") : volume.uuid)
               << (volume.totalBytes ? displayformat::byteCount(quint64(*volume.totalBytes)) + QStringLiteral(" Capacity")
                                     : QStringLiteral("capacity unknown"))
               << (volume.availableBytes
                       ? displayformat::byteCount(quint64(*volume.availableBytes)) + QStringLiteral(" Available")
                       : QStringLiteral("available space unknown"))
               << volume.description()
               << (volume.writable ? QStringLiteral("read-write")
                                   : volume.readable ? QStringLiteral("read-only") : QStringLiteral("no access"));
        if (!destination.isEmpty() && volume.uuid.compare(destination, Qt::CaseInsensitive) == 0) {
            fields << QStringLiteral("destination");
        }
        console.printLine(fields.join(QLatin1Char('\t')));
    }
    return kDone;
}

QString AddCommand::summary() const
{
    return QStringLiteral("Adds files or folders to the sources (one already listed moves to the end).");
}

int AddCommand::run(ControllerSession &session, const QStringList &positional, CliConsole &console)
{
    QStringList paths;
    for (const QString &argument : positional) {
        const QString path = absolutePath(argument);
        // lstat: a link is backed up as a link, even a dangling one.
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
            console.printError(QStringLiteral("vellory-cli add: no such file or folder: ") + argument);
            return kFailed;
        }
        paths.append(path);
    }
    for (const QString &path : std::as_const(paths)) {
        session.controller().addSourcePath(path);
        if (!session.controller().lastSaveSucceeded()) {
            return kFailed; // the store printed why
        }
        console.printLine(QStringLiteral("Added ") + path);
    }
    return kDone;
}

QString RemoveCommand::summary() const
{
    return QStringLiteral("Removes a path from the sources; nothing on the volume is deleted.");
}

int RemoveCommand::run(ControllerSession &session, const QStringList &positional, CliConsole &console)
{
    BackupController &controller = session.controller();
    QString path = positional.first();
    if (!controller.sourcePaths().contains(path)) {
        path = absolutePath(path);
    }
    if (!controller.sourcePaths().contains(path)) {
        console.printError(QStringLiteral("vellory-cli remove: not among the sources: ") + positional.first());
        return kFailed;
    }
    controller.removeSourcePath(path);
    if (!controller.lastSaveSucceeded()) {
        return kFailed;
    }
    console.printLine(QStringLiteral("Removed ") + path);
    return kDone;
}

QString SelectVolumeCommand::summary() const
{
    return QStringLiteral("Makes the volume mounted at PATH the destination (the last backup date stays).");
}

int SelectVolumeCommand::run(ControllerSession &session, const QStringList &positional, CliConsole &console)
{
    BackupController &controller = session.controller();
    QString errorMessage;
    QString itemName;
    const QUrl url = QUrl::fromLocalFile(absolutePath(positional.first()));
    if (!controller.validateVolume(url, errorMessage, itemName)) {
        console.printError(QStringLiteral("Unable to use \"%1\": %2")
                               .arg(itemName.isEmpty() ? QStringLiteral("Unknown item") : itemName,
                                    errorMessage.isEmpty() ? QStringLiteral("Unknown reason") : errorMessage));
        return kFailed;
    }
    if (!controller.lastSaveSucceeded()) {
        return kFailed;
    }
    console.printLine(QStringLiteral("Destination: %1 (%2) at %3")
                          .arg(controller.volumeName(), controller.volumeDescription(), controller.volumePath()));
    return kDone;
}

QString ClearVolumeCommand::summary() const
{
    return QStringLiteral("Forgets the destination volume; the sources stay.");
}

int ClearVolumeCommand::run(ControllerSession &session, const QStringList &, CliConsole &console)
{
    session.controller().clearVolume();
    if (!session.controller().lastSaveSucceeded()) {
        return kFailed;
    }
    console.printLine(QStringLiteral("Destination: No volume selected"));
    return kDone;
}

QString EjectCommand::summary() const
{
    return QStringLiteral("Unmounts the destination volume and ejects its drive; a busy volume is left mounted.");
}

int EjectCommand::run(ControllerSession &session, const QStringList &, CliConsole &console)
{
    BackupController &controller = session.controller();
    const QString name = controller.volumeName();
    QEventLoop loop;
    std::optional<QString> answer;
    controller.ejectVolume([&](const QString &error) {
        answer = error;
        loop.quit();
    });
    if (!answer) {
        loop.exec();
    }
    if (!answer->isEmpty()) {
        console.printError(name.isEmpty() ? QStringLiteral("Unable to eject: %1").arg(*answer)
                                          : QStringLiteral("Unable to eject \"%1\": %2").arg(name, *answer));
        return kFailed;
    }
    console.printLine(QStringLiteral("Ejected \"%1\"").arg(name));
    return kDone;
}
