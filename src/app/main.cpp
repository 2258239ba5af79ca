// vellory: the desktop application.
#include "app/apptranslations.h"
#include "app/demojobs.h"
#include "app/desktopstyle.h"
#include "app/launchoptions.h"
#include "app/screenshotsession.h"
#include "app/velloryapp.h"
#include "platform/applicationbus.h"
#include "platform/buildinfo.h"
#include "ui/icontheme.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <optional>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)
Q_IMPORT_QML_PLUGIN(Vellory_AppPlugin)
Q_IMPORT_QML_PLUGIN(MorainePlugin)
Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

namespace {

/// Answers --help and --version, and refuses options nobody knows, before a
/// display is opened: the exit code when the program ends here.
std::optional<int> answerWithoutWindow(const LaunchOptions &options)
{
    const QString program = QStringLiteral("vellory");
    if (!options.errors.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n%s\n", qPrintable(program), qPrintable(options.errors.join(u' ')),
                     qPrintable(LaunchOptions::usage(program)));
        return 64; // sysexits' EX_USAGE, as vellory-cli answers
    }
    if (options.helpRequested || options.versionRequested) {
        const QString text = options.helpRequested ? LaunchOptions::usage(program)
                                                   : platform::buildinfo::versionText(program);
        std::printf("%s\n", qPrintable(text));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const LaunchOptions options = LaunchOptions::parse(arguments);
    if (const std::optional<int> exitCode = answerWithoutWindow(options)) {
        return *exitCode;
    }

    QApplication application(argc, argv);
    QApplication::setOrganizationName(platform::buildinfo::organizationName());
    QApplication::setApplicationName(platform::buildinfo::applicationName());
    QApplication::setApplicationVersion(platform::buildinfo::shortVersion());
    QGuiApplication::setDesktopFileName(platform::buildinfo::bundleIdentifier());
    // Before any window or text is made.
    const AppTranslations translations;

    // Drawn in software unless the person asks for a graphics backend: a
    // window drawn through OpenGL first makes a context of its own, which
    // holds the main thread for 0.15 to 0.3 s without a fast GPU (the first
    // Backups window, say); these plain views draw in software in a few ms.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    useIconThemeFallback();
    QApplication::setWindowIcon(QIcon::fromTheme(platform::buildinfo::bundleIdentifier(),
                                                  QIcon::fromTheme(QStringLiteral("drive-removable-media"))));
    DesktopStyle::apply();
    if (options.forPictures()) {
        const QString problem = LaunchOptions::privateFoldersProblem(
            qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::tempPath());
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 2;
        }
    }

    // One instance per session: a second launch raises the first one's
    // window (a login launch leaves it be) and ends.
    const bool simulated = options.demo || !options.screenshotFolder.isEmpty();
    platform::ApplicationBus applicationBus(platform::buildinfo::bundleIdentifier());
    if (!simulated
        && applicationBus.claim(options.background ? QStringLiteral("background") : QString())
            == platform::ApplicationBus::Claim::AlreadyRunning) {
        return 0;
    }

    VelloryApp app;
    QObject::connect(&applicationBus, &platform::ApplicationBus::activated, &app, [&app](const QVariantMap &data) {
        app.showMainWindow(data.value(QStringLiteral("activation-token")).toString());
    });
    QObject::connect(&applicationBus, &platform::ApplicationBus::actionRequested, &app, [&app](const QString &action) {
        if (action == QLatin1String("backup-now")) {
            app.controller()->startBackup();
        } else if (action == QLatin1String("quit")) {
            app.requestQuit();
        }
    });
    if (options.background && !simulated) {
        app.launchInBackground();
    } else if (!app.launch()) {
        return 1;
    }

    std::unique_ptr<DemoJobs> demo;
    if (options.demo) {
        demo = std::make_unique<DemoJobs>(*app.controller());
        demo->start();
    }
    std::unique_ptr<ScreenshotSession> screenshots;
    if (!options.screenshotFolder.isEmpty()) {
        screenshots = std::make_unique<ScreenshotSession>(app, demo.get(), options.screenshotFolder);
        screenshots->start();
    }
    return QApplication::exec();
}
