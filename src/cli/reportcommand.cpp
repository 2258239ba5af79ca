#include "cli/reportcommand.h"

#include "Moraine/kitalert.h"
#include "Moraine/kmsysteminfo.h"
#include "Moraine/systemreport.h"
#include "cli/cliconsole.h"
#include "cli/commanddispatcher.h"

int ReportCommand::execute(const QStringList &arguments, CliConsole &console)
{
    if (!arguments.isEmpty()) {
        console.printError(QStringLiteral("vellory-cli report: takes no arguments"));
        return CommandDispatcher::kUsageError;
    }
    const moraine::KMSystemInfo info(platform::systemFacts());
    const moraine::SystemReport report = moraine::buildSystemReport(info, moraine::versionString());
    console.printLine(report.line1);
    console.printLine(report.line2);
    console.printLine(report.line3);
    return 0;
}
