#include "app/appdelegate.h"

#include "Moraine/update/bundledkey.h"
#include "Moraine/update/rsakey.h"
#include "Moraine/update/updateservices.h"
#include "app/updatechecks.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(UpdateChecks &checks, moraine::UpdateServices &services, QObject *parent)
    : QObject(parent)
    , m_checks(checks)
    , m_services(services)
    , m_publicKeySource([] { return moraine::bundledPublicKeyPem(); })
{
}

void AppDelegate::setPublicKeySource(std::function<QString()> source)
{
    m_publicKeySource = std::move(source);
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_services.setUpdatePageURL(platform::buildinfo::updatePageUrl());
    const moraine::KMResult<moraine::RsaKey> imported =
        moraine::importPEMKey(m_publicKeySource(), moraine::KeyClass::Public);
    if (!imported.ok()) {
        if (m_services.kit()) {
            m_services.kit()->showAlert(QCoreApplication::translate("KitAlert", kKeyAlertTitle),
                                        imported.error().domain, QString(), true);
        }
        emit launchTasksStarted();
        return;
    }
    m_services.setPublicKey(imported.value());
    m_checks.startSilentCheck();
    emit launchTasksStarted();
}
