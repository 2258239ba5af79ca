#include "app/launchoptions.h"

#include <QCommandLineParser>

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
    const QCommandLineOption demo = hidden(QCommandLineOption(QStringLiteral("demo")));
    const QCommandLineOption screenshot =
        hidden(QCommandLineOption(QStringLiteral("screenshot"), QString(), QStringLiteral("folder")));
    parser.addOptions({help, version, demo, screenshot});
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
                          "\n"
                          "Qt's own options, such as -platform NAME or -style NAME, are accepted too.\n"
                          "vellory-cli runs and manages backups without a window; see vellory-cli --help.")
        .arg(program);
}
