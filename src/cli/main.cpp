// vellory-cli: the headless front-end over the backup core.
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"
#include "cli/runcommand.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(platform::buildinfo::organizationName());
    QCoreApplication::setApplicationName(platform::buildinfo::applicationName());
    QCoreApplication::setApplicationVersion(platform::buildinfo::shortVersion());

    CliConsole console;
    CommandDispatcher dispatcher(QStringLiteral("vellory-cli"));
    dispatcher.add(std::make_unique<RunCommand>());
    return dispatcher.dispatch(QCoreApplication::arguments().mid(1), console);
}
