#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class BackupController;

/// The application's icon in the panel while it runs without a window
/// (shown to the desktop through the StatusNotifierItem protocol), with
/// "Open Vellory 2", "Backup Now" (while the destination is connected) and
/// "Quit".
class StatusIcon : public QObject
{
    Q_OBJECT

public:
    explicit StatusIcon(BackupController &controller, QObject *parent = nullptr);
    ~StatusIcon() override;

    /// Whether the desktop has a panel that shows status icons.
    [[nodiscard]] static bool isAvailable();

    void show();
    void hide();
    [[nodiscard]] bool isVisible() const;
    [[nodiscard]] QMenu &menu() { return *m_menu; }

signals:
    /// "Open Vellory 2", or the icon itself, was chosen.
    void openRequested();
    /// "Quit" was chosen.
    void quitRequested();

private:
    void updateBackupAction();

    BackupController &m_controller;
    std::unique_ptr<QMenu> m_menu;
    QAction *m_backupAction = nullptr;
    QSystemTrayIcon m_icon;
};
