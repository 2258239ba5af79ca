#include "cli/commanddispatcher.h"

#include "cli/cliconsole.h"

CommandDispatcher::CommandDispatcher(QString programName)
    : m_programName(std::move(programName))
{
}

void CommandDispatcher::add(std::unique_ptr<CliCommand> command)
{
    m_commands.push_back(std::move(command));
}

QString CommandDispatcher::usage() const
{
    QString text = QStringLiteral("Usage:");
    for (const auto &command : m_commands) {
        // Only the command line itself is trimmed: the line break before it stays.
        text += QStringLiteral("\n  ")
            + QStringLiteral("%1 %2 %3").arg(m_programName, command->name(), command->arguments()).trimmed();
        text += QStringLiteral("\n      ") + command->summary();
    }
    return text;
}

int CommandDispatcher::dispatch(const QStringList &arguments, CliConsole &console)
{
    if (arguments.isEmpty()) {
        console.printError(usage());
        return kUsageError;
    }
    const QString &word = arguments.first();
    if (word == QLatin1String("help") || word == QLatin1String("--help") || word == QLatin1String("-h")) {
        console.printLine(usage());
        return 0;
    }
    for (const auto &command : m_commands) {
        if (command->name() == word) {
            return command->execute(arguments.mid(1), console);
        }
    }
    console.printError(QStringLiteral("%1: unknown command \"%2\"").arg(m_programName, word));
    console.printError(usage());
    return kUsageError;
}
