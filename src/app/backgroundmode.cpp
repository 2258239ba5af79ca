#include "app/backgroundmode.h"

#include "app/statusicon.h"
#include "platform/buildinfo.h"
#include "platform/settings.h"

#include <QGuiApplication>

BackgroundMode::BackgroundMode(StatusIcon &icon, const platform::Settings &settings,
                               std::function<bool()> iconAvailable, Tell tell, QObject *parent)
    : QObject(parent)
    , m_icon(icon)
    , m_settings(settings)
    , m_iconAvailable(iconAvailable ? std::move(iconAvailable) : [] { return StatusIcon::isAvailable(); })
    , m_tell(std::move(tell))
{
    QGuiApplication::setQuitOnLastWindowClosed(false);
    connect(qGuiApp, &QGuiApplication::lastWindowClosed, this, &BackgroundMode::lastWindowClosed);
}

bool BackgroundMode::hasBackgroundWork() const
{
    return m_settings.autoBackupOnConnect() || m_settings.remindAfterDays() > 0;
}

bool BackgroundMode::staysInBackground() const
{
    // Started in the background, the application was meant to run without a
    // window; a window opened from it does not change that.
    return hasBackgroundWork() && (m_startedInBackground || m_iconAvailable());
}

void BackgroundMode::lastWindowClosed()
{
    if (!staysInBackground()) {
        emit quitRequested();
        return;
    }
    if (m_iconAvailable()) {
        m_icon.show();
        return;
    }
    // Nothing on screen shows that it still runs: say so, once.
    if (!m_toldWithoutIcon && m_tell) {
        m_toldWithoutIcon = true;
        m_tell(tr("Backups continue in the background"),
               tr("To quit, open %1 and choose Quit.").arg(platform::buildinfo::applicationName()));
    }
}

void BackgroundMode::startInBackground()
{
    m_startedInBackground = true;
    if (!hasBackgroundWork()) {
        emit quitRequested();
        return;
    }
    // Without a panel the application still watches for the volume; a later
    // launch from the menu brings its window up.
    if (m_iconAvailable()) {
        m_icon.show();
    }
}

void BackgroundMode::mainWindowVisibilityChanged(bool visible)
{
    if (visible) {
        m_icon.hide();
    } else if (m_iconAvailable()) {
        m_icon.show();
    }
}
