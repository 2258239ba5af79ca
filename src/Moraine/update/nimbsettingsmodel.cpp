#include "Moraine/update/nimbsettingsmodel.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/preferences.h"

#include <QCoreApplication>
#include <QLocale>

namespace moraine {

namespace prefs = updateprefs;

NIMBSettingsModel::NIMBSettingsModel(QObject *parent)
    : QObject(parent)
{
    refresh();
}

QStringList NIMBSettingsModel::periodLabels()
{
    return {QCoreApplication::translate("NIMBSettings", "Never"),
            QCoreApplication::translate("NIMBSettings", "Default"),
            QCoreApplication::translate("NIMBSettings", "Every launch"),
            QCoreApplication::translate("NIMBSettings", "Daily"),
            QCoreApplication::translate("NIMBSettings", "Weekly"),
            QCoreApplication::translate("NIMBSettings", "Monthly")};
}

QList<double> NIMBSettingsModel::periodSeconds()
{
    return {0, 604800, 1, 86400, 604800, 2419200};
}

int NIMBSettingsModel::periodIndex() const
{
    return static_cast<int>(periodSeconds().indexOf(m_checkPeriod));
}

void NIMBSettingsModel::setPeriodIndex(int index)
{
    const QList<double> seconds = periodSeconds();
    if (index < 0 || index >= seconds.size()) {
        return;
    }
    setCheckPeriod(seconds.at(index));
}

void NIMBSettingsModel::setCheckPeriod(double seconds)
{
    if (seconds == m_checkPeriod && platform::preferences()->contains(prefs::kNextUpdateCheckPeriod)) {
        return;
    }
    m_checkPeriod = seconds;
    const auto settings = platform::preferences();
    setNextUpdateCheck(prefs::applyCheckPeriod(*settings, seconds, QDateTime::currentDateTime()));
    emit checkPeriodChanged();
}

void NIMBSettingsModel::setShowMoreOptions(bool show)
{
    platform::preferences()->setValue(prefs::kShowMoreOptions, show);
    if (show == m_showMoreOptions) {
        return;
    }
    m_showMoreOptions = show;
    emit showMoreOptionsChanged();
}

void NIMBSettingsModel::setIgnoreMaintenance(bool ignore)
{
    platform::preferences()->setValue(prefs::kIgnoreMaintenance, ignore);
    if (ignore == m_ignoreMaintenance) {
        return;
    }
    m_ignoreMaintenance = ignore;
    emit ignoreMaintenanceChanged();
}

QString NIMBSettingsModel::nextCheckText() const
{
    if (!m_nextUpdateCheck) {
        return captionNotScheduled();
    }
    const QDateTime local = m_nextUpdateCheck->toLocalTime();
    const QLocale locale;
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ")
           + locale.toString(local.time(), QLocale::ShortFormat);
}

void NIMBSettingsModel::setNextUpdateCheck(const std::optional<QDateTime> &next)
{
    if (next == m_nextUpdateCheck) {
        return;
    }
    m_nextUpdateCheck = next;
    emit nextUpdateCheckChanged();
}

void NIMBSettingsModel::setHasIgnoreInfo(bool has)
{
    if (has == m_hasIgnoreInfo) {
        return;
    }
    m_hasIgnoreInfo = has;
    emit hasIgnoreInfoChanged();
}

void NIMBSettingsModel::setLog(const QStringList &log)
{
    if (log == m_log) {
        return;
    }
    m_log = log;
    emit logChanged();
}

void NIMBSettingsModel::readStoredValues()
{
    const auto settings = platform::preferences();
    const double period = prefs::checkPeriod(*settings);
    if (period != m_checkPeriod) {
        m_checkPeriod = period;
        emit checkPeriodChanged();
    }
    auto update = [this](bool &field, bool value, void (NIMBSettingsModel::*changed)()) {
        if (field != value) {
            field = value;
            emit(this->*changed)();
        }
    };
    update(m_updateAvailable, prefs::flag(*settings, prefs::kUpdateAvailable), &NIMBSettingsModel::updateAvailableChanged);
    update(m_showMoreOptions, prefs::flag(*settings, prefs::kShowMoreOptions), &NIMBSettingsModel::showMoreOptionsChanged);
    update(m_ignoreMaintenance, prefs::flag(*settings, prefs::kIgnoreMaintenance),
           &NIMBSettingsModel::ignoreMaintenanceChanged);

    const QString available = prefs::availableUpdateText(*settings);
    const QString ignored = prefs::ignoredVersionText(*settings);
    if (available != m_availableUpdateText || ignored != m_ignoredVersionText) {
        m_availableUpdateText = available;
        m_ignoredVersionText = ignored;
        emit updateTextsChanged();
    }
}

void NIMBSettingsModel::refresh()
{
    readStoredValues();
    const auto settings = platform::preferences();
    setNextUpdateCheck(prefs::date(*settings, prefs::kNextUpdateCheck));
    setHasIgnoreInfo(settings->contains(prefs::kIgnoreVersionInfo));
}

void NIMBSettingsModel::ignoreUpdate()
{
    prefs::ignoreCurrentUpdate(*platform::preferences());
    setHasIgnoreInfo(true);
    readStoredValues();
}

void NIMBSettingsModel::cancelIgnore()
{
    prefs::restoreIgnoredUpdate(*platform::preferences());
    setHasIgnoreInfo(false);
    readStoredValues();
}

void NIMBSettingsModel::resetSettings()
{
    prefs::resetSettings(*platform::preferences());
    setHasIgnoreInfo(false);
    refresh();
}

void NIMBSettingsModel::showDebuggingOptions()
{
    setShowMoreOptions(true);
}

void NIMBSettingsModel::setUpdates(UpdateServices *updates)
{
    if (m_updates == updates) {
        return;
    }
    m_updates = updates;
    emit updatesChanged();
}

NIMBLite *NIMBSettingsModel::startCheck(bool keepLog)
{
    // A fresh service object per check; it goes away once its check has ended.
    auto *check = new NIMBLite(m_updates ? *m_updates : m_noServices, this);
    check->setOnCompletion([this, check, keepLog] {
        if (keepLog) {
            setLog(check->log());
        }
        refresh();
        check->deleteLater();
        emit checkFinished();
    });
    return check;
}

void NIMBSettingsModel::testSilentCheck()
{
    startCheck(true)->performSilentCheck();
}

void NIMBSettingsModel::checkNow()
{
    startCheck(m_showMoreOptions)->performManualCheck();
}

} // namespace moraine
