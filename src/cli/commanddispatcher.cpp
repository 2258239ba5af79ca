#include "cli/commanddispatcher.h"

#include "cli/cliconsole.h"
#include "platform/buildinfo.h"

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
    QString text = QStringLiteral("Usage: %1 COMMAND [ARGUMENT]...\n"
                                  "  or:  %1 --help | --version\n"
                                  "Backs up files and folders to a removable volume and manages the backup set.\n"
                                  "\nCommands:")
                       .arg(m_programName);
    for (const auto &command : m_commands) {
        // Only the command line itself is trimmed: the line break before it stays.
        text += QStringLiteral("\n  ")
            + QStringLiteral("%1 %2 %3").arg(m_programName, command->name(), command->arguments()).trimmed();
        text += QStringLiteral("\n      ") + command->summary();
    }
    text += QStringLiteral("\n\nOptions:\n"
                           "  -h, --help     display this help and exit\n"
                           "      --version  output version information and exit\n"
                           "\nExit status: 0 if the command succeeded, 64 if the command line cannot be used;\n"
                           "see %1(1) for each command's other statuses.")
                .arg(m_programName);
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
    if (word == QLatin1String("--version")) {
        console.printLine(platform::buildinfo::versionText(m_programName));
        return 0;
    }
    for (const auto &command : m_commands) {
        if (command->name() == word) {
            return command->execute(arguments.mid(1), console);
        }
    }
    const QString problem = word.startsWith(QLatin1Char('-')) ? QStringLiteral("unrecognized option '%1'")
                                                              : QStringLiteral("unknown command \"%1\"");
    console.printError(QStringLiteral("%1: ").arg(m_programName) + problem.arg(word));
    console.printError(usage());
    return kUsageError;
}
