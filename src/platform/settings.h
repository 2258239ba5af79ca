#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QString>

#include <memory>

namespace platform {

/// The user's preferences that the backup function keeps, each key spelled
/// here once with its default:
/// - "autoBackupOnConnect": connecting the destination starts a backup (on
///   when never written);
/// - "autoEjectOnComplete": a completed backup ejects the destination (on
///   when never written);
/// - "iconSize": the source grid's icon size in points (100 when never
///   written or not a size);
/// - "remindAfterDays": days after which a backup is overdue, 0 for never (7
///   when never written or not a count);
/// - "lastReminderDay": the day a reminder was last shown (none when never
///   written);
/// - "loginStartTurnedOnAfterFirstBackup": "Start at login" was turned on
///   after the first completed backup (off when never written);
/// - "lastCompletedBackup": when a backup last completed, in UTC (invalid
///   when never written).
///
/// Values are read from the store on every call, from any thread, so that a
/// run reads what the panel wrote a moment ago; setters write at once and
/// notify. The application makes one and hands it to what needs it (the
/// controller shows it to the views). The update service's keys live with
/// the update service (Moraine/update/updatepreferences.h).
///
/// A new key: its getter and setter here (a property with a signal where a
/// view shows it), the key and its default in settings.cpp, nothing
/// anywhere else.
class Settings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool autoBackupOnConnect READ autoBackupOnConnect WRITE setAutoBackupOnConnect NOTIFY
                   autoBackupOnConnectChanged)
    Q_PROPERTY(bool autoEjectOnComplete READ autoEjectOnComplete WRITE setAutoEjectOnComplete NOTIFY
                   autoEjectOnCompleteChanged)
    Q_PROPERTY(int iconSize READ iconSize WRITE setIconSize NOTIFY iconSizeChanged)
    Q_PROPERTY(int remindAfterDays READ remindAfterDays WRITE setRemindAfterDays NOTIFY remindAfterDaysChanged)

public:
    static constexpr int kDefaultIconSize = 100;
    static constexpr int kDefaultRemindAfterDays = 7;

    /// The user's preferences store (preferences()).
    explicit Settings(QObject *parent = nullptr);
    /// A store of its own in the file at `filePath` (tests).
    explicit Settings(const QString &filePath, QObject *parent = nullptr);

    [[nodiscard]] bool autoBackupOnConnect() const;
    void setAutoBackupOnConnect(bool on);
    [[nodiscard]] bool autoEjectOnComplete() const;
    void setAutoEjectOnComplete(bool on);
    /// Ignores a size that is not positive.
    [[nodiscard]] int iconSize() const;
    void setIconSize(int size);
    /// Ignores a negative count.
    [[nodiscard]] int remindAfterDays() const;
    void setRemindAfterDays(int days);

    // What the application remembers between runs; nothing shows these.
    [[nodiscard]] QDate lastReminderDay() const;
    void setLastReminderDay(QDate day);
    [[nodiscard]] bool loginStartTurnedOnAfterFirstBackup() const;
    void setLoginStartTurnedOnAfterFirstBackup(bool done);
    [[nodiscard]] QDateTime lastCompletedBackup() const;
    void setLastCompletedBackup(const QDateTime &when);

signals:
    void autoBackupOnConnectChanged();
    void autoEjectOnCompleteChanged();
    void iconSizeChanged();
    void remindAfterDaysChanged();

private:
    [[nodiscard]] std::unique_ptr<QSettings> open() const;
    [[nodiscard]] bool boolValue(const QString &key, bool absentValue) const;
    void write(const QString &key, const QVariant &value);

    QString m_filePath; ///< empty: the user's store
};

} // namespace platform
