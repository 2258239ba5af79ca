#include "app/launchoptions.h"

#include <QCommandLineParser>
#include <QDir>

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

QString LaunchOptions::privateFoldersProblem(const QString &dataHome, const QString &configHome,
                                             const QString &tempFolder)
{
    const QString temp = QDir::cleanPath(tempFolder) + QLatin1Char('/');
    for (const auto &[name, folder] : {std::pair{QStringLiteral("XDG_DATA_HOME"), dataHome},
                                       std::pair{QStringLiteral("XDG_CONFIG_HOME"), configHome}}) {
        const QString cleaned = QDir::cleanPath(folder);
        if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !(cleaned + QLatin1Char('/')).startsWith(temp)
            || cleaned + QLatin1Char('/') == temp) {
            return QStringLiteral("--demo and --screenshot work only on a set of their own: set ") + name
                   + QStringLiteral(" to a folder inside ") + QDir::cleanPath(tempFolder)
                   + QStringLiteral(" (scripts/screenshots does).");
        }
    }
    return {};
}
