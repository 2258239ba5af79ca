#include "cli/controllersession.h"

ControllerArguments ControllerArguments::parse(const QStringList &arguments)
{
    ControllerArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--set")) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("--set needs a file");
                return parsed;
            }
            parsed.setFile = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--set="))) {
            parsed.setFile = argument.mid(6);
            if (parsed.setFile.isEmpty()) {
                parsed.error = QStringLiteral("--set needs a file");
                return parsed;
            }
        } else if (argument == QLatin1String("--")) {
            parsed.positional += arguments.mid(i + 1);
            break;
        } else if (argument.startsWith(QLatin1String("--"))) {
            parsed.error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return parsed;
        } else {
            parsed.positional.append(argument);
        }
    }
    return parsed;
}

ControllerSession::ControllerSession(const QString &setFile, std::function<void(const QString &)> outputLine)
{
    BackupControllerServices services;
    if (!setFile.isEmpty()) {
        services.store = ScriptStore::atFile(setFile, outputLine);
    } else {
        services.store = ScriptStore(ScriptStore::defaultDataDirectory(), outputLine);
    }
    services.volumeTable = &m_services.table();
    services.volumeMonitor = &m_services.monitor();
    services.volumeEjector = &m_services.ejector();
    services.outputLine = std::move(outputLine);
    m_controller = std::make_unique<BackupController>(std::move(services));
    // Commands report the destination's state (and run finds it where it is
    // now) before any loop of their own turns.
    m_controller->waitForVolumeReadings();
}

ControllerSession::~ControllerSession()
{
    // Before the volume services it was given.
    m_controller.reset();
}
