#include "app/appdelegate.h"

#include "Moraine/kitalert.h"
#include "Moraine/update/bundledkey.h"
#include "Moraine/update/nimblite.h"
#include "Moraine/update/rsakey.h"
#include "app/updatechecks.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(UpdateChecks &checks, QObject *parent)
    : QObject(parent)
    , m_checks(checks)
    , m_publicKeySource([] { return moraine::bundledPublicKeyPem(); })
{
}

void AppDelegate::setPublicKeySource(std::function<QString()> source)
{
    m_publicKeySource = std::move(source);
}

void AppDelegate::applicationDidFinishLaunching()
{
    moraine::NIMBLite::setUpdatePageURL(platform::buildinfo::updatePageUrl());
    const moraine::KeyImport imported = moraine::importPEMKey(m_publicKeySource(), moraine::KeyClass::Public);
    if (!imported.key) {
        moraine::showAlert(QCoreApplication::translate("KitAlert", kKeyAlertTitle), imported.error, QString(), true);
        emit launchTasksStarted();
        return;
    }
    moraine::NIMBLite::setPublicKey(imported.key);
    m_checks.startSilentCheck();
    emit launchTasksStarted();
}
