#include "app/velloryapp.h"

#include "ui/imageproviders.h"

#include <QCoreApplication>

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
    , m_delegate(m_updateChecks)
{
    m_controller = std::make_unique<BackupController>(systemServices(*m_system));
    m_system->monitor().start();
    buildScenes();
}

VelloryApp::VelloryApp(BackupControllerServices services, QObject *parent)
    : QObject(parent)
    , m_controller(std::make_unique<BackupController>(std::move(services)))
    , m_delegate(m_updateChecks)
{
    buildScenes();
}

VelloryApp::~VelloryApp()
{
    // Windows first, then the engine that made them, then the controller
    // they show.
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
    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    connect(m_engine.get(), &QQmlEngine::quit, QCoreApplication::instance(), &QCoreApplication::quit,
            Qt::QueuedConnection);
    installImageProviders(*m_engine, m_controller.get());

    m_router = std::make_unique<WindowRouter>(*m_engine);
    m_router->setWindowSource(QString::fromLatin1(kMainWindow), QUrl(QStringLiteral("qrc:/Vellory/App/MainWindow.qml")));
    m_router->setSharedProperty(QStringLiteral("controller"), QVariant::fromValue(m_controller.get()));
    m_router->setSharedProperty(QStringLiteral("app"), QVariant::fromValue(this));
    m_router->setWindowSource(QString::fromLatin1(AppCommands::kSettingsWindow),
                              QUrl(QStringLiteral("qrc:/Vellory/App/SettingsWindow.qml")));
    m_commands = std::make_unique<AppCommands>(m_updateChecks, *m_router);
}

bool VelloryApp::launch()
{
    if (!m_router->openWindow(QString::fromLatin1(kMainWindow))) {
        return false;
    }
    QMetaObject::invokeMethod(&m_delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return true;
}
