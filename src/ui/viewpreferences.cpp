#include "ui/viewpreferences.h"

#include "platform/preferences.h"

namespace {

const QString kIconSize = QStringLiteral("iconSize");
const QString kAutoBackup = QStringLiteral("autoBackupOnConnect");
const QString kAutoEject = QStringLiteral("autoEjectOnComplete");

} // namespace

ViewPreferences::ViewPreferences(QObject *parent)
    : QObject(parent)
{
    reload();
}

void ViewPreferences::reload()
{
    const auto settings = platform::preferences();
    bool ok = false;
    const int size = settings->value(kIconSize).toInt(&ok);
    const int iconSize = ok && size > 0 ? size : kDefaultIconSize;
    const bool autoBackup = platform::boolPreference(kAutoBackup, true);
    const bool autoEject = platform::boolPreference(kAutoEject, true);
    if (iconSize != m_iconSize) {
        m_iconSize = iconSize;
        emit iconSizeChanged();
    }
    if (autoBackup != m_autoBackupOnConnect) {
        m_autoBackupOnConnect = autoBackup;
        emit autoBackupOnConnectChanged();
    }
    if (autoEject != m_autoEjectOnComplete) {
        m_autoEjectOnComplete = autoEject;
        emit autoEjectOnCompleteChanged();
    }
}

void ViewPreferences::setIconSize(int size)
{
    if (size <= 0 || size == m_iconSize) {
        return;
    }
    m_iconSize = size;
    platform::preferences()->setValue(kIconSize, size);
    emit iconSizeChanged();
}

void ViewPreferences::setAutoBackupOnConnect(bool on)
{
    if (on == m_autoBackupOnConnect) {
        return;
    }
    m_autoBackupOnConnect = on;
    platform::preferences()->setValue(kAutoBackup, on);
    emit autoBackupOnConnectChanged();
}

void ViewPreferences::setAutoEjectOnComplete(bool on)
{
    if (on == m_autoEjectOnComplete) {
        return;
    }
    m_autoEjectOnComplete = on;
    platform::preferences()->setValue(kAutoEject, on);
    emit autoEjectOnCompleteChanged();
}
