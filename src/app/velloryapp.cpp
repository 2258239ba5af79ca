#include "app/velloryapp.h"

#include "app/backgroundmode.h"
#include "app/backupnotifications.h"
#include "app/backupreminder.h"
#include "app/desktopurlopener.h"
#include "app/quitguard.h"
#include "app/sleepwhilebackingup.h"
#include "app/statusicon.h"
#include "Moraine/messageboxalerts.h"
#include "backup/scriptstorewatcher.h"
#include "platform/desktopnotifier.h"
#include "platform/memoryarenas.h"
#include "platform/sleepinhibitor.h"
#include "ui/desktopfiles.h"
#include "ui/enterpressesbuttons.h"
#include "ui/imageproviders.h"

#include <QCoreApplication>
#include <QPixmapCache>
#include <QQuickWindow>
#include <QThreadPool>

namespace {

BackupControllerServices systemServices(SystemVolumeServices &system)
{
    BackupControllerServices services;
    services.volumeTable = &system.table();
    services.volumeMonitor = &system.monitor();
    services.volumeEjector = &system.ejector();
    return services;
}

} // namespace

VelloryApp::VelloryApp(QObject *parent)
    : QObject(parent)
    , m_system(std::make_unique<SystemVolumeServices>())
    , m_desktopUrlOpener(std::make_unique<platform::DesktopUrlOpener>())
    , m_messageBoxes(std::make_unique<moraine::MessageBoxAlertPresenter>())
    , m_alerts(*m_messageBoxes)
    , m_kit(*m_desktopUrlOpener, m_alerts)
    , m_updateServices(&m_kit)
    , m_updateChecks(m_updateServices)
    , m_delegate(m_updateChecks, m_updateServices)
{
    m_controller = std::make_unique<BackupController>(systemServices(*m_system));
    m_system->monitor().start();
    buildScenes();
    followDesktop();
}

VelloryApp::VelloryApp(BackupControllerServices services, platform::UrlOpener &urlOpener,
                       moraine::AlertPresenter &alertPresenter, QObject *parent)
    : QObject(parent)
    , m_controller(std::make_unique<BackupController>(std::move(services)))
    , m_alerts(alertPresenter)
    , m_kit(urlOpener, m_alerts)
    , m_updateServices(&m_kit)
    , m_updateChecks(m_updateServices)
    , m_delegate(m_updateChecks, m_updateServices)
{
    buildScenes();
}

VelloryApp::~VelloryApp()
{
    // Windows first, then the engine that made them, then the controller
    // they show.
    m_background.reset();
    m_statusIcon.reset();
    m_quitGuard.reset();
    m_commands.reset();
    m_router.reset();
    m_engine.reset();
}

void VelloryApp::setShowShareSheet(bool show)
{
    if (m_showShareSheet == show) {
        return;
    }
    m_showShareSheet = show;
    emit showShareSheetChanged();
}

void VelloryApp::buildScenes()
{
    m_updateServices.setProgressWindow(m_updateProgress.progressWindow());

    // Enter presses the focused button in every window.
    QCoreApplication::instance()->installEventFilter(new EnterPressesButtons(this));

    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    connect(m_engine.get(), &QQmlEngine::quit, QCoreApplication::instance(), &QCoreApplication::quit,
            Qt::QueuedConnection);
    installImageProviders(*m_engine, m_controller.get());
    if (DesktopFiles *files = DesktopFiles::forEngine(*m_engine)) {
        files->setUrlOpener(m_kit.urlOpener());
    }

    m_router = std::make_unique<WindowRouter>(*m_engine);
    m_router->setWindowSource(QString::fromLatin1(kMainWindow), QUrl(QStringLiteral("qrc:/Vellory/App/MainWindow.qml")));
    m_router->setSharedProperty(QStringLiteral("controller"), QVariant::fromValue(m_controller.get()));
    m_router->setSharedProperty(QStringLiteral("app"), QVariant::fromValue(this));
    m_router->setSharedProperty(QStringLiteral("updateServices"), QVariant::fromValue(&m_updateServices));
    m_router->setWindowSource(QString::fromLatin1(AppCommands::kSettingsWindow),
                              QUrl(QStringLiteral("qrc:/Vellory/App/SettingsWindow.qml")));
    m_router->setWindowSource(QString::fromLatin1(AppCommands::kRestoreWindow),
                              QUrl(QStringLiteral("qrc:/Vellory/RestoreWindow.qml")));
    m_commands = std::make_unique<AppCommands>(m_updateChecks, *m_router, m_kit);
    m_quitGuard = std::make_unique<QuitGuard>(*m_controller);
    connect(m_quitGuard.get(), &QuitGuard::quitConfirmed, QCoreApplication::instance(), &QCoreApplication::quit,
            Qt::QueuedConnection);
    // Closing the last row closes the Backups window, once the click that
    // closed it is done.
    connect(m_controller.get(), &BackupController::lastJobClosed, this, [this] {
        if (QQuickWindow *backups = m_router->window(QString::fromLatin1(WindowRouter::kBackupsWindow))) {
            backups->close();
        }
    }, Qt::QueuedConnection);

    // Loading a window decodes theme icons from their full-size files, which
    // Qt's pixmap cache keeps (1 MiB for a 512-pixel file), and frees most of
    // what compiling its views took, though the C library keeps the pages.
    // Once the window has drawn its first frame, both go back to the system;
    // the views hold the icons they show. Giving pages back walks every
    // allocation arena, a running backup's plan too: not on this thread.
    connect(m_router.get(), &WindowRouter::windowCreated, this,
            [](const QString &, const QString &, QQuickWindow *window) {
                connect(
                    window, &QQuickWindow::frameSwapped, window,
                    [] {
                        QPixmapCache::clear();
                        QThreadPool::globalInstance()->start(&platform::returnFreedMemory);
                    },
                    Qt::SingleShotConnection);
            });
}

bool VelloryApp::launch()
{
    if (!m_router->openWindow(QString::fromLatin1(kMainWindow))) {
        return false;
    }
    QMetaObject::invokeMethod(&m_delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return true;
}

void VelloryApp::followDesktop()
{
    m_storeWatcher = std::make_unique<ScriptStoreWatcher>(m_controller->store().filePath());
    connect(m_storeWatcher.get(), &ScriptStoreWatcher::changed, m_controller.get(), &BackupController::reloadScript);

    m_notifier = std::make_unique<platform::DesktopNotifier>();
    m_notifications = std::make_unique<BackupNotifications>(*m_controller, *m_notifier);
    connect(m_notifications.get(), &BackupNotifications::showLogRequested, this,
            [this](const QString &jobId) { m_router->openLogWindow(jobId); });
    m_reminder = std::make_unique<BackupReminder>(*m_controller, *m_controller->settings());
    m_notifications->setEndNote([this](const BackupThread &job) { return m_reminder->firstBackupNote(job); });
    connect(m_reminder.get(), &BackupReminder::reminderDue, m_notifier.get(),
            [this](const QString &summary, const QString &body) { m_notifier->notify(summary, body); });
    m_reminder->start();

    m_inhibitor = std::make_unique<platform::SleepInhibitor>();
    m_sleepGuard = std::make_unique<SleepWhileBackingUp>(*m_controller, *m_inhibitor);

    m_statusIcon = std::make_unique<StatusIcon>(*m_controller);
    m_background = std::make_unique<BackgroundMode>(
        *m_statusIcon, *m_controller->settings(), nullptr,
        [this](const QString &summary, const QString &body) { m_notifier->notify(summary, body); });
    connect(m_statusIcon.get(), &StatusIcon::openRequested, this, [this] { showMainWindow(); });
    connect(m_statusIcon.get(), &StatusIcon::quitRequested, this, &VelloryApp::requestQuit);
    // The last window closed while a backup runs: kept running on Cancel,
    // with its window back, the only way left to reach it.
    connect(
        m_background.get(), &BackgroundMode::quitRequested, this,
        [this] {
            if (!m_quitGuard->requestQuit()) {
                showMainWindow();
            }
        },
        Qt::QueuedConnection);
    connect(m_router.get(), &WindowRouter::windowCreated, this,
            [this](const QString &identifier, const QString &, QQuickWindow *window) {
                if (identifier == QLatin1String(kMainWindow)) {
                    connect(window, &QWindow::visibleChanged, m_background.get(),
                            &BackgroundMode::mainWindowVisibilityChanged);
                }
            });
}

void VelloryApp::launchInBackground()
{
    QMetaObject::invokeMethod(&m_delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    if (m_background) {
        m_background->startInBackground();
    }
}

void VelloryApp::requestQuit()
{
    m_quitGuard->requestQuit();
}

void VelloryApp::showMainWindow(const QString &activationToken)
{
    // The desktop lets a window take the focus only with the token of the
    // launch that asked for it.
    if (!activationToken.isEmpty()) {
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    }
    m_router->openWindow(QString::fromLatin1(kMainWindow));
}
