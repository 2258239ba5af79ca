#include "platform/settings.h"

#include "platform/preferences.h"

namespace platform {

namespace {

const QString kAutoBackupOnConnect = QStringLiteral("autoBackupOnConnect");
const QString kAutoEjectOnComplete = QStringLiteral("autoEjectOnComplete");
const QString kIconSize = QStringLiteral("iconSize");
const QString kRemindAfterDays = QStringLiteral("remindAfterDays");
const QString kLastReminderDay = QStringLiteral("lastReminderDay");
const QString kLoginStartTurnedOnAfterFirstBackup = QStringLiteral("loginStartTurnedOnAfterFirstBackup");
const QString kLastCompletedBackup = QStringLiteral("lastCompletedBackup");

} // namespace

Settings::Settings(QObject *parent)
    : QObject(parent)
{
}

Settings::Settings(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
}

std::unique_ptr<QSettings> Settings::open() const
{
    // One QSettings per call: a QSettings may not be shared between threads,
    // and the run reads from its own.
    return m_filePath.isEmpty() ? preferences() : std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
}

bool Settings::boolValue(const QString &key, bool absentValue) const
{
    const QVariant value = open()->value(key);
    return value.isValid() ? value.toBool() : absentValue;
}

void Settings::write(const QString &key, const QVariant &value)
{
    open()->setValue(key, value);
}

bool Settings::autoBackupOnConnect() const
{
    return boolValue(kAutoBackupOnConnect, true);
}

void Settings::setAutoBackupOnConnect(bool on)
{
    const bool was = autoBackupOnConnect();
    write(kAutoBackupOnConnect, on);
    if (on != was) {
        emit autoBackupOnConnectChanged();
    }
}

bool Settings::autoEjectOnComplete() const
{
    return boolValue(kAutoEjectOnComplete, true);
}

void Settings::setAutoEjectOnComplete(bool on)
{
    const bool was = autoEjectOnComplete();
    write(kAutoEjectOnComplete, on);
    if (on != was) {
        emit autoEjectOnCompleteChanged();
    }
}

int Settings::iconSize() const
{
    bool ok = false;
    const int size = open()->value(kIconSize).toInt(&ok);
    return ok && size > 0 ? size : kDefaultIconSize;
}

void Settings::setIconSize(int size)
{
    if (size <= 0) {
        return;
    }
    const int was = iconSize();
    write(kIconSize, size);
    if (size != was) {
        emit iconSizeChanged();
    }
}

int Settings::remindAfterDays() const
{
    bool ok = false;
    const int days = open()->value(kRemindAfterDays).toInt(&ok);
    return ok && days >= 0 ? days : kDefaultRemindAfterDays;
}

void Settings::setRemindAfterDays(int days)
{
    if (days < 0) {
        return;
    }
    const int was = remindAfterDays();
    write(kRemindAfterDays, days);
    if (days != was) {
        emit remindAfterDaysChanged();
    }
}

QDate Settings::lastReminderDay() const
{
    return QDate::fromString(open()->value(kLastReminderDay).toString(), Qt::ISODate);
}

void Settings::setLastReminderDay(QDate day)
{
    write(kLastReminderDay, day.toString(Qt::ISODate));
}

bool Settings::loginStartTurnedOnAfterFirstBackup() const
{
    return boolValue(kLoginStartTurnedOnAfterFirstBackup, false);
}

void Settings::setLoginStartTurnedOnAfterFirstBackup(bool done)
{
    write(kLoginStartTurnedOnAfterFirstBackup, done);
}

QDateTime Settings::lastCompletedBackup() const
{
    return open()->value(kLastCompletedBackup).toDateTime();
}

void Settings::setLastCompletedBackup(const QDateTime &when)
{
    write(kLastCompletedBackup, when.toUTC());
}

} // namespace platform
