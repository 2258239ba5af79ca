// vellory-cli: the headless front-end over the backup core.
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"
#include "cli/controllercommands.h"
#include "cli/reportcommand.h"
#include "cli/restorecommand.h"
#include "cli/runcommand.h"
#include "cli/watchcommand.h"
#include "platform/buildinfo.h"
#include "platform/memoryarenas.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    // A headless run stays small: no GLib main loop (Qt's own event
    // dispatcher keeps GLib's pages out, about half a MiB at peak), and the
    // copy workers share two allocation arenas (about a quarter MiB).
    qputenv("QT_NO_GLIB", "1");
    platform::limitMemoryArenas(2);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(platform::buildinfo::organizationName());
    QCoreApplication::setApplicationName(platform::buildinfo::applicationName());
    QCoreApplication::setApplicationVersion(platform::buildinfo::shortVersion());

    CliConsole console;
    CommandDispatcher dispatcher(QStringLiteral("vellory-cli"));
    dispatcher.add(std::make_unique<RunCommand>());
    dispatcher.add(std::make_unique<RunCommand>(RunCommand::Job::verify));
    dispatcher.add(std::make_unique<StatusCommand>());
    dispatcher.add(std::make_unique<VolumesCommand>());
    dispatcher.add(std::make_unique<AddCommand>());
    dispatcher.add(std::make_unique<RemoveCommand>());
    dispatcher.add(std::make_unique<SelectVolumeCommand>());
    dispatcher.add(std::make_unique<ClearVolumeCommand>());
    dispatcher.add(std::make_unique<EjectCommand>());
    dispatcher.add(std::make_unique<WatchCommand>());
    dispatcher.add(std::make_unique<ReportCommand>());
    dispatcher.add(std::make_unique<RestoreCommand>());
    dispatcher.add(std::make_unique<ComputersCommand>());
    return dispatcher.dispatch(QCoreApplication::arguments().mid(1), console);
}
