#include "app/launchoptions.h"

#include <QCommandLineParser>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    QCommandLineOption demo(QStringLiteral("demo"));
    demo.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("folder"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(demo);
    parser.addOption(screenshot);
    // Desktop launchers may pass file arguments or options of their own.
    parser.parse(arguments);

    LaunchOptions options;
    options.demo = parser.isSet(demo);
    options.screenshotFolder = parser.value(screenshot);
    return options;
}
