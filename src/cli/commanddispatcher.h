#pragma once

#include "cli/clicommand.h"

#include <memory>
#include <vector>

/// Picks the command named by the first argument and runs it; prints the
/// usage for "help", "--help" or "-h", the version for "--version", and
/// refuses anything else with the usage on standard error.
class CommandDispatcher
{
public:
    /// Exit code for a command line that names no known command or has
    /// arguments a command does not take (sysexits' EX_USAGE).
    static constexpr int kUsageError = 64;

    explicit CommandDispatcher(QString programName);

    void add(std::unique_ptr<CliCommand> command);
    int dispatch(const QStringList &arguments, CliConsole &console);
    [[nodiscard]] QString usage() const;

private:
    QString m_programName;
    std::vector<std::unique_ptr<CliCommand>> m_commands;
};
