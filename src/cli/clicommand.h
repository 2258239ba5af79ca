#pragma once

#include <QString>
#include <QStringList>

class CliConsole;

/// One command of vellory-cli ("run", later "status", "volumes", ...).
class CliCommand
{
public:
    virtual ~CliCommand() = default;

    /// The word that selects the command.
    [[nodiscard]] virtual QString name() const = 0;
    /// Its arguments as shown in the usage text, e.g. "[--set FILE]".
    [[nodiscard]] virtual QString arguments() const = 0;
    /// One line saying what it does.
    [[nodiscard]] virtual QString summary() const = 0;
    /// Runs it with the arguments after the command word; returns the exit
    /// code. A command that needs the event loop runs it itself.
    virtual int execute(const QStringList &arguments, CliConsole &console) = 0;
};
