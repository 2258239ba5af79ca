#include "app/launchoptions.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

// QGuiApplication's and QApplication's own options, which it removes from the
// arguments itself once it is created: known here only so that they are not
// refused before that.
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "style", "stylesheet", "display", "geometry",
};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

} // namespace

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's options take one dash ("-style Fusion"); GNU ones two. Both work.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption background(QStringLiteral("background"));
    const QCommandLineOption demo = hidden(QCommandLineOption(QStringLiteral("demo")));
    const QCommandLineOption screenshot =
        hidden(QCommandLineOption(QStringLiteral("screenshot"), QString(), QStringLiteral("folder")));
    parser.addOptions({help, version, background, demo, screenshot});
    for (const char *name : kQtOptionsWithValue) {
        parser.addOption(hidden(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"))));
    }
    for (const char *name : kQtFlags) {
        parser.addOption(hidden(QCommandLineOption(QString::fromLatin1(name))));
    }

    LaunchOptions options;
    if (!parser.parse(arguments)) {
        options.errors << parser.errorText();
    }
    options.helpRequested = parser.isSet(help);
    options.versionRequested = parser.isSet(version);
    options.background = parser.isSet(background);
    options.demo = parser.isSet(demo);
    options.screenshotFolder = parser.value(screenshot);
    return options;
}

QString LaunchOptions::usage(const QString &program)
{
    return QStringLiteral("Usage: %1 [OPTION]...\n"
                          "Opens Vellory 2, which backs up files and folders to a removable volume.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     display this help and exit\n"
                          "      --version  output version information and exit\n"
                          "      --background  start without a window, to back up when the volume is\n"
                          "                    connected (the login autostart entry uses it)\n"
                          "\n"
                          "Qt's own options, such as -platform NAME or -style NAME, are accepted too.\n"
                          "vellory-cli runs and manages backups without a window; see vellory-cli --help.")
        .arg(program);
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
