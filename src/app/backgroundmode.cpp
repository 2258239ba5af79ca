#include "app/backgroundmode.h"

#include "app/backupreminder.h"
#include "app/statusicon.h"
#include "platform/preferences.h"

#include <QGuiApplication>

BackgroundMode::BackgroundMode(StatusIcon &icon, std::function<bool()> iconAvailable, QObject *parent)
    : QObject(parent)
    , m_icon(icon)
    , m_iconAvailable(iconAvailable ? std::move(iconAvailable) : [] { return StatusIcon::isAvailable(); })
{
    QGuiApplication::setQuitOnLastWindowClosed(false);
    connect(qGuiApp, &QGuiApplication::lastWindowClosed, this, &BackgroundMode::lastWindowClosed);
}

bool BackgroundMode::staysInBackground() const
{
    return hasWorkInBackground() && m_iconAvailable();
}

bool BackgroundMode::hasWorkInBackground()
{
    return platform::boolPreference(QStringLiteral("autoBackupOnConnect"), true) || BackupReminder::isOn();
}

void BackgroundMode::lastWindowClosed()
{
    if (staysInBackground()) {
        m_icon.show();
    } else {
        emit quitRequested();
    }
}

void BackgroundMode::startInBackground()
{
    if (!hasWorkInBackground()) {
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
