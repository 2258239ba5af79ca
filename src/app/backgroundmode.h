#pragma once

#include <QObject>

#include <functional>

class StatusIcon;
namespace platform {
class Settings;
}

/// Decides what closing the last window means. While there is work to do in
/// the background (automatic backup or the
/// backup reminder is on) the application keeps running, so
/// that connecting the destination still starts a backup: with its status
/// icon where the desktop shows one, and without one when it was started in
/// the background (at login), saying so once by notification; otherwise it
/// quits, as it always did.
class BackgroundMode : public QObject
{
    Q_OBJECT

public:
    /// Shows a notification: summary and body.
    using Tell = std::function<void(const QString &summary, const QString &body)>;

    /// `settings` tell whether automatic backup and the reminder are on; `iconAvailable` says
    /// whether the desktop shows status icons (null:
    /// StatusIcon::isAvailable()); `tell` shows a notification. Takes over
    /// the application's quitting on the last window closed.
    BackgroundMode(StatusIcon &icon, const platform::Settings &settings, std::function<bool()> iconAvailable = {},
                   Tell tell = {}, QObject *parent = nullptr);

    /// Whether the application has work to do with no window open: watching
    /// for the destination while automatic backup is on.
    [[nodiscard]] bool hasBackgroundWork() const;
    /// Whether closing the last window now keeps the application running.
    [[nodiscard]] bool staysInBackground() const;
    /// Automatic backup or the backup reminder is on: there is something to
    /// do without a window.

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
    const platform::Settings &m_settings;
    std::function<bool()> m_iconAvailable;
    Tell m_tell;
    bool m_startedInBackground = false;
    bool m_toldWithoutIcon = false;
};
