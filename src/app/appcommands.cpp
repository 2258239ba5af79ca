#include "app/appcommands.h"

#include "Moraine/feedbackmail.h"
#include "Moraine/kitalert.h"
#include "app/updatechecks.h"
#include "platform/buildinfo.h"
#include "ui/windowrouter.h"

#include <QUrl>

AppCommands::AppCommands(UpdateChecks &checks, WindowRouter &router, moraine::KitServices &kit, QObject *parent)
    : QObject(parent)
    , m_checks(checks)
    , m_router(router)
    , m_kit(kit)
{
}

QString AppCommands::applicationName()
{
    return platform::buildinfo::applicationName();
}

QString AppCommands::versionText()
{
    return moraine::versionString().value_or(QString());
}

QString AppCommands::shareAppName()
{
    return QStringLiteral("Vellory");
}

QString AppCommands::shareEmailSubject()
{
    return tr("Vellory 2 - Your important files, safely copied to a stick or card whenever you plug it in");
}

QString AppCommands::shareMessage()
{
    return tr("I keep copies of my important files on a USB drive with Vellory, and it backs them up by "
              "itself as soon as I plug the drive in. Vellory works just as well with an SD card, so "
              "there is no excuse left for not having a backup.");
}

QString AppCommands::shareTargetURL()
{
    return platform::buildinfo::productPage();
}

void AppCommands::checkForUpdates()
{
    m_checks.startManualCheck();
}

void AppCommands::contactSupport()
{
    moraine::sendFeedback(m_kit, tr("<appName> Feedback"), tr("Please enter your message below:\n"));
}

void AppCommands::visitWebsite()
{
    openAddress(platform::buildinfo::makerWebsite());
}

void AppCommands::stayUpToDate()
{
    openAddress(platform::buildinfo::newsPage());
}

void AppCommands::showSettings()
{
    m_router.openWindow(QString::fromLatin1(kSettingsWindow));
}

void AppCommands::showRestore()
{
    m_router.openWindow(QString::fromLatin1(kRestoreWindow));
}

void AppCommands::openAddress(const QString &address)
{
    // Fixed addresses; whether the desktop could open one is not reported.
    m_kit.urlOpener().openUrl(QUrl(address));
}
