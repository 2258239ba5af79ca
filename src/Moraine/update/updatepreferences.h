#pragma once

#include <QDateTime>
#include <QSettings>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace moraine::updateprefs {

// Preference keys of the update service.
inline const QString kNextUpdateCheckPeriod = QStringLiteral("NIMBNextUpdateCheckPeriod");
inline const QString kNextUpdateCheck = QStringLiteral("NIMBNextUpdateCheck");
inline const QString kCurrentUpdateInfo = QStringLiteral("NIMBCurrentUpdateInfo");
inline const QString kUpdateAvailable = QStringLiteral("NIMBUpdateAvailable");
inline const QString kIgnoreVersionInfo = QStringLiteral("NIMBIgnoreVersionInfo");
inline const QString kIgnoreMaintenance = QStringLiteral("NIMBIgnoreMaintenance");
inline const QString kShowMoreOptions = QStringLiteral("NIMBShowMoreOptions");
inline const QString kRemoteFileModDate = QStringLiteral("NIMBRemoteFileModDate");

// Keys of the update-info dictionary.
inline const QString kGroupID = QStringLiteral("groupID");
inline const QString kDisplayVersion = QStringLiteral("displayVersion");
inline const QString kBuildNumber = QStringLiteral("buildNumber");

inline constexpr double kDefaultCheckPeriod = 604800.0; // seven days

/// The silent-check period in seconds; absent or not a number gives seven days.
[[nodiscard]] double checkPeriod(const QSettings &settings);
/// A flag; absent or unreadable gives false.
[[nodiscard]] bool flag(const QSettings &settings, const QString &key);
/// The stored date, when the key holds a valid date.
[[nodiscard]] std::optional<QDateTime> date(const QSettings &settings, const QString &key);
/// The stored dictionary, when the key holds one.
[[nodiscard]] std::optional<QVariantMap> dictionary(const QSettings &settings, const QString &key);
/// The integer under `key` of a dictionary, when it is stored as an integer.
[[nodiscard]] std::optional<qint64> integerEntry(const QVariantMap &map, const QString &key);

/// Stores a new period; a non-zero period schedules the next check that far
/// from `now` (and returns that date), zero removes the schedule.
std::optional<QDateTime> applyCheckPeriod(QSettings &settings, double seconds, const QDateTime &now);

/// " Ignore ": the current update becomes the skipped one.
void ignoreCurrentUpdate(QSettings &settings);
/// " Cancel " of a skipped version: it becomes the current update again.
void restoreIgnoredUpdate(QSettings &settings);
/// " Reset Settings ": forgets schedule, period and update knowledge; the
/// debugging flags stay.
void resetSettings(QSettings &settings);

/// "Version 2.1" / "No Display Version" / "Update Info missing" for the
/// available-update row.
[[nodiscard]] QString availableUpdateText(const QSettings &settings);
/// "Ignoring version 2.1" / "Ignore Info missing" / "None" for the skipped row.
[[nodiscard]] QString ignoredVersionText(const QSettings &settings);

} // namespace moraine::updateprefs
