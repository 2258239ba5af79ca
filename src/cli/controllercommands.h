#pragma once

#include "cli/clicommand.h"
#include "cli/controllersession.h"

#include <limits>

/// A vellory-cli command that works on the backup controller, as the
/// window does: every one takes "--set FILE" to use the backup set in FILE
/// instead of the stored one. Exit codes: 0 done, 1 refused or failed,
/// 64 a command line that cannot be used.
class ControllerCommand : public CliCommand
{
public:
    static constexpr int kDone = 0;
    static constexpr int kFailed = 1;

    int execute(const QStringList &arguments, CliConsole &console) final;

protected:
    /// How many positional arguments the command takes.
    [[nodiscard]] virtual int minimumArguments() const { return 0; }
    [[nodiscard]] virtual int maximumArguments() const { return 0; }
    /// Runs the command on a controller made for it.
    virtual int run(ControllerSession &session, const QStringList &positional, CliConsole &console) = 0;
    /// Runs before anything else is made (before any thread starts).
    virtual void prepare() {}
};

/// "status": the destination, its state and space, the last backup and the sources.
class StatusCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("status"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;

protected:
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "volumes": the mounted volumes a user would see, one a line.
class VolumesCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("volumes"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;

protected:
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "add PATH...": adds files or folders to the sources.
class AddCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("add"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE] PATH..."); }
    [[nodiscard]] QString summary() const override;

protected:
    [[nodiscard]] int minimumArguments() const override { return 1; }
    [[nodiscard]] int maximumArguments() const override { return std::numeric_limits<int>::max(); }
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "remove PATH": takes a path off the sources.
class RemoveCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("remove"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE] PATH"); }
    [[nodiscard]] QString summary() const override;

protected:
    [[nodiscard]] int minimumArguments() const override { return 1; }
    [[nodiscard]] int maximumArguments() const override { return 1; }
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "select-volume PATH": makes the volume mounted at PATH the destination.
class SelectVolumeCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("select-volume"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE] PATH"); }
    [[nodiscard]] QString summary() const override;

protected:
    [[nodiscard]] int minimumArguments() const override { return 1; }
    [[nodiscard]] int maximumArguments() const override { return 1; }
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "clear-volume": forgets the destination.
class ClearVolumeCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("clear-volume"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;

protected:
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};

/// "eject": unmounts and ejects the destination and waits for the outcome.
class EjectCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("eject"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;

protected:
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;
};
