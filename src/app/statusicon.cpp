#include "app/statusicon.h"

#include "backup/backupcontroller.h"
#include "platform/buildinfo.h"

#include <QApplication>

StatusIcon::StatusIcon(BackupController &controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_menu(std::make_unique<QMenu>())
{
    QAction *open = m_menu->addAction(tr("Open Vellory 2"));
    open->setObjectName(QStringLiteral("openAction"));
    connect(open, &QAction::triggered, this, &StatusIcon::openRequested);
    m_backupAction = m_menu->addAction(tr("Backup Now"));
    m_backupAction->setObjectName(QStringLiteral("backupNowAction"));
    connect(m_backupAction, &QAction::triggered, &m_controller, &BackupController::startBackup);
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(tr("Quit"));
    quit->setObjectName(QStringLiteral("quitAction"));
    connect(quit, &QAction::triggered, this, &StatusIcon::quitRequested);

    connect(&controller, &BackupController::volumeStatusChanged, this, &StatusIcon::updateBackupAction);
    updateBackupAction();

    m_icon.setIcon(QApplication::windowIcon());
    m_icon.setToolTip(platform::buildinfo::applicationName());
    m_icon.setContextMenu(m_menu.get());
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            emit openRequested();
        }
    });
}

StatusIcon::~StatusIcon() = default;

bool StatusIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void StatusIcon::show()
{
    m_icon.show();
}

void StatusIcon::hide()
{
    m_icon.hide();
}

bool StatusIcon::isVisible() const
{
    return m_icon.isVisible();
}

void StatusIcon::updateBackupAction()
{
    m_backupAction->setEnabled(m_controller.volumeStatus() == VolumeStatusValue::Connected);
}
