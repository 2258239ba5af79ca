#pragma once

#include "cli/clicommand.h"

/// "report": the feedback e-mail's three system report lines, for pasting
/// into any bug report.
class ReportCommand final : public CliCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("report"); }
    [[nodiscard]] QString arguments() const override { return {}; }
    [[nodiscard]] QString summary() const override
    {
        return QStringLiteral("Prints the system report as the feedback e-mail carries it.");
    }
    int execute(const QStringList &arguments, CliConsole &console) override;
};
