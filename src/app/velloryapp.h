#pragma once

#include "app/appcommands.h"
#include "app/appdelegate.h"
#include "app/updatechecks.h"
#include "Moraine/kitservices.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "Moraine/update/updateservices.h"
#include "backup/backupcontroller.h"
#include "backup/systemvolumeservices.h"
#include "ui/windowrouter.h"

#include <QObject>
#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

#include <memory>

class BackgroundMode;
class BackupReminder;
class BackupNotifications;
class QuitGuard;
class ScriptStoreWatcher;
class SleepWhileBackingUp;
class StatusIcon;

namespace platform {
class DesktopNotifier;
class SleepInhibitor;
} // namespace platform

/// The application: the one backup controller every window shares, the
/// engine and window router that build the windows, the application
/// delegate, the menu and toolbar commands, and whether the share sheet is
/// shown over the main window.
class VelloryApp : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application object is made by main().")
    Q_PROPERTY(bool showShareSheet READ showShareSheet WRITE setShowShareSheet NOTIFY showShareSheetChanged)
    Q_PROPERTY(BackupController *controller READ controller CONSTANT)
    Q_PROPERTY(AppCommands *commands READ commands CONSTANT)

public:
    static constexpr const char *kMainWindow = "mainWindow";

    /// This machine's volumes and the user's own backup set; the volume
    /// monitor is started.
    explicit VelloryApp(QObject *parent = nullptr);
    /// The given services and desktop (tests); their owner starts the monitor.
    VelloryApp(BackupControllerServices services, platform::UrlOpener &urlOpener,
               moraine::AlertPresenter &alertPresenter, QObject *parent = nullptr);
    ~VelloryApp() override;

    [[nodiscard]] bool showShareSheet() const { return m_showShareSheet; }
    void setShowShareSheet(bool show);

    [[nodiscard]] BackupController *controller() const { return m_controller.get(); }
    [[nodiscard]] AppDelegate &delegate() { return m_delegate; }
    [[nodiscard]] AppCommands *commands() const { return m_commands.get(); }
    [[nodiscard]] UpdateChecks &updateChecks() { return m_updateChecks; }
    [[nodiscard]] moraine::UpdateServices &updateServices() { return m_updateServices; }
    [[nodiscard]] moraine::NIMBProgressPresenter &updateProgress() { return m_updateProgress; }
    [[nodiscard]] WindowRouter &router() { return *m_router; }
    [[nodiscard]] QQmlEngine &engine() { return *m_engine; }
    [[nodiscard]] QuitGuard &quitGuard() { return *m_quitGuard; }

    /// Opens the main window and, once the event loop runs, tells the
    /// delegate that launching has finished. False when the main window
    /// cannot be made.
    bool launch();
    /// Starts without a window (login autostart): only the status icon, or
    /// quits when automatic backup is off.
    void launchInBackground();
    /// Brings the main window forward (another launch asked for it);
    /// `activationToken` lets the desktop raise it.
    void showMainWindow(const QString &activationToken = QString());
    /// Quit, from the menu or elsewhere: ends the application, after asking
    /// while a backup runs (QuitGuard).
    Q_INVOKABLE void requestQuit();

signals:
    void showShareSheetChanged();

private:
    void buildScenes();
    void followDesktop();

    std::unique_ptr<SystemVolumeServices> m_system;
    std::unique_ptr<BackupController> m_controller;
    // The desktop the kit acts on: made here unless given (tests).
    std::unique_ptr<platform::UrlOpener> m_desktopUrlOpener;
    std::unique_ptr<moraine::AlertPresenter> m_messageBoxes;
    moraine::KitAlerts m_alerts;
    moraine::KitServices m_kit;
    moraine::NIMBProgressPresenter m_updateProgress;
    moraine::UpdateServices m_updateServices;
    UpdateChecks m_updateChecks;
    AppDelegate m_delegate;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<WindowRouter> m_router;
    std::unique_ptr<AppCommands> m_commands;
    std::unique_ptr<QuitGuard> m_quitGuard;
    bool m_showShareSheet = false;

    // The desktop around the windows (the application on this machine only).
    std::unique_ptr<ScriptStoreWatcher> m_storeWatcher;
    std::unique_ptr<platform::DesktopNotifier> m_notifier;
    std::unique_ptr<BackupNotifications> m_notifications;
    std::unique_ptr<BackupReminder> m_reminder;
    std::unique_ptr<platform::SleepInhibitor> m_inhibitor;
    std::unique_ptr<SleepWhileBackingUp> m_sleepGuard;
    std::unique_ptr<StatusIcon> m_statusIcon;
    std::unique_ptr<BackgroundMode> m_background;
};
