#pragma once

#include <QObject>

#include <functional>

class StatusIcon;

/// Decides what closing the last window means. While "Auto Backup on
/// Connect" or the backup reminder is on and the desktop shows status icons, the application keeps
/// running in the background with its status icon, so that connecting the
/// destination still starts a backup; otherwise it quits, as it always did.
class BackgroundMode : public QObject
{
    Q_OBJECT

public:
    /// `iconAvailable` says whether the desktop shows status icons (null:
    /// StatusIcon::isAvailable()). Takes over the application's quitting on
    /// the last window closed.
    BackgroundMode(StatusIcon &icon, std::function<bool()> iconAvailable = {}, QObject *parent = nullptr);

    /// Whether closing the last window now keeps the application running.
    [[nodiscard]] bool staysInBackground() const;
    /// Automatic backup or the backup reminder is on: there is something to
    /// do without a window.
    [[nodiscard]] static bool hasWorkInBackground();

public slots:
    /// The last window was closed: go to the background or quit.
    void lastWindowClosed();
    /// Launched at login: start in the background (quits when there is
    /// nothing to do there: automatic backup and the reminder are off).
    void startInBackground();
    /// The main window was shown or hidden. While it is hidden (closed
    /// with the Backups window still open, say) the status icon, where the
    /// desktop shows one, is the way back to it.
    void mainWindowVisibilityChanged(bool visible);

signals:
    /// The application should end.
    void quitRequested();

private:
    StatusIcon &m_icon;
    std::function<bool()> m_iconAvailable;
};
