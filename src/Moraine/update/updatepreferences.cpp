#include "Moraine/update/updatepreferences.h"

#include <QCoreApplication>

namespace moraine::updateprefs {

double checkPeriod(const QSettings &settings)
{
    bool ok = false;
    const double period = settings.value(kNextUpdateCheckPeriod).toDouble(&ok);
    return ok ? period : kDefaultCheckPeriod;
}

bool flag(const QSettings &settings, const QString &key)
{
    return settings.value(key).toBool();
}

std::optional<QDateTime> date(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QDateTime || !value.toDateTime().isValid()) {
        return std::nullopt;
    }
    return value.toDateTime();
}

std::optional<QVariantMap> dictionary(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    return value.toMap();
}

std::optional<qint64> integerEntry(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return value.toLongLong();
    default:
        return std::nullopt;
    }
}

std::optional<QDateTime> applyCheckPeriod(QSettings &settings, double seconds, const QDateTime &now)
{
    settings.setValue(kNextUpdateCheckPeriod, seconds);
    if (seconds == 0) {
        settings.remove(kNextUpdateCheck);
        return std::nullopt;
    }
    const QDateTime next = now.addMSecs(static_cast<qint64>(seconds * 1000.0));
    settings.setValue(kNextUpdateCheck, next);
    return next;
}

void ignoreCurrentUpdate(QSettings &settings)
{
    const QVariant current = settings.value(kCurrentUpdateInfo);
    if (current.isValid()) {
        settings.setValue(kIgnoreVersionInfo, current);
    } else {
        settings.remove(kIgnoreVersionInfo);
    }
    settings.remove(kCurrentUpdateInfo);
    settings.remove(kUpdateAvailable);
}

void restoreIgnoredUpdate(QSettings &settings)
{
    const QVariant ignored = settings.value(kIgnoreVersionInfo);
    settings.remove(kIgnoreVersionInfo);
    if (ignored.isValid()) {
        settings.setValue(kCurrentUpdateInfo, ignored);
    } else {
        settings.remove(kCurrentUpdateInfo);
    }
    settings.setValue(kUpdateAvailable, true);
}

void resetSettings(QSettings &settings)
{
    for (const QString &key : {kCurrentUpdateInfo, kNextUpdateCheck, kNextUpdateCheckPeriod, kRemoteFileModDate,
                               kIgnoreVersionInfo, kUpdateAvailable}) {
        settings.remove(key);
    }
}

QString availableUpdateText(const QSettings &settings)
{
    const auto info = dictionary(settings, kCurrentUpdateInfo);
    if (!info) {
        return QCoreApplication::translate("NIMBSettings", "Version Update Info missing");
    }
    const QVariant version = info->value(kDisplayVersion);
    return QCoreApplication::translate("NIMBSettings", "Version %1")
        .arg(version.typeId() == QMetaType::QString ? version.toString()
                                                    : QCoreApplication::translate("NIMBSettings", "No Display Version"));
}

QString ignoredVersionText(const QSettings &settings)
{
    const auto info = dictionary(settings, kIgnoreVersionInfo);
    if (!info) {
        return QCoreApplication::translate("NIMBSettings", "Ignoring version None");
    }
    const QVariant version = info->value(kDisplayVersion);
    return QCoreApplication::translate("NIMBSettings", "Ignoring version %1")
        .arg(version.typeId() == QMetaType::QString ? version.toString()
                                                    : QCoreApplication::translate("NIMBSettings", "Ignore Info missing"));
}

} // namespace moraine::updateprefs
