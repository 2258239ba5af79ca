#include "app/launchoptions.h"

#include <QCommandLineParser>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    QCommandLineOption demo(QStringLiteral("demo"));
    demo.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("folder"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption background(QStringLiteral("background"),
                                  QStringLiteral("Start without a window, to back up when the volume is connected."));
    parser.addOption(background);
    parser.addOption(demo);
    parser.addOption(screenshot);
    // Desktop launchers may pass file arguments or options of their own.
    parser.parse(arguments);

    LaunchOptions options;
    options.background = parser.isSet(background);
    options.demo = parser.isSet(demo);
    options.screenshotFolder = parser.value(screenshot);
    return options;
}
