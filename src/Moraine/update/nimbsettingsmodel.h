#pragma once

#include "Moraine/update/updateservices.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace moraine {

class NIMBLite;

/// What the update settings view shows and does: the check period, the next
/// check, a known update (" Ignore ") or a skipped one (" Cancel "), the
/// debugging options and their log, " Reset Settings " and " Check Now ".
/// Everything is read from and written to the application's preferences, the
/// same store the update service uses; refresh() re-reads it.
class NIMBSettingsModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(double checkPeriod READ checkPeriod WRITE setCheckPeriod NOTIFY checkPeriodChanged)
    Q_PROPERTY(int periodIndex READ periodIndex WRITE setPeriodIndex NOTIFY checkPeriodChanged)
    Q_PROPERTY(QStringList periodLabels READ periodLabels CONSTANT)
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY updateAvailableChanged)
    Q_PROPERTY(bool showMoreOptions READ showMoreOptions WRITE setShowMoreOptions NOTIFY showMoreOptionsChanged)
    Q_PROPERTY(bool ignoreMaintenance READ ignoreMaintenance WRITE setIgnoreMaintenance NOTIFY ignoreMaintenanceChanged)
    Q_PROPERTY(QDateTime nextUpdateCheck READ nextUpdateCheck NOTIFY nextUpdateCheckChanged)
    Q_PROPERTY(QString nextCheckText READ nextCheckText NOTIFY nextUpdateCheckChanged)
    Q_PROPERTY(bool hasIgnoreInfo READ hasIgnoreInfo NOTIFY hasIgnoreInfoChanged)
    Q_PROPERTY(QString availableUpdateText READ availableUpdateText NOTIFY updateTextsChanged)
    Q_PROPERTY(QString ignoredVersionText READ ignoredVersionText NOTIFY updateTextsChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    /// What the checks started here are made with; without it they have no
    /// page address and no key, and fail.
    Q_PROPERTY(moraine::UpdateServices *updates READ updates WRITE setUpdates NOTIFY updatesChanged)

    Q_PROPERTY(QString kCaptionCheckFreqency READ captionCheckFrequency CONSTANT)
    Q_PROPERTY(QString kCaptionNextCheck READ captionNextCheck CONSTANT)
    Q_PROPERTY(QString kCaptionNotScheduled READ captionNotScheduled CONSTANT)
    Q_PROPERTY(QString kCaptionAvailableUpdate READ captionAvailableUpdate CONSTANT)
    Q_PROPERTY(QString kCaptionIgnore READ captionIgnore CONSTANT)
    Q_PROPERTY(QString kCaptionCancel READ captionCancel CONSTANT)

public:
    explicit NIMBSettingsModel(QObject *parent = nullptr);

    [[nodiscard]] double checkPeriod() const { return m_checkPeriod; }
    void setCheckPeriod(double seconds);
    /// The first choice whose seconds match the period (-1: none does).
    [[nodiscard]] int periodIndex() const;
    void setPeriodIndex(int index);
    [[nodiscard]] static QStringList periodLabels();
    [[nodiscard]] static QList<double> periodSeconds();

    [[nodiscard]] bool updateAvailable() const { return m_updateAvailable; }
    [[nodiscard]] bool showMoreOptions() const { return m_showMoreOptions; }
    void setShowMoreOptions(bool show);
    [[nodiscard]] bool ignoreMaintenance() const { return m_ignoreMaintenance; }
    void setIgnoreMaintenance(bool ignore);
    [[nodiscard]] QDateTime nextUpdateCheck() const { return m_nextUpdateCheck.value_or(QDateTime()); }
    [[nodiscard]] QString nextCheckText() const;
    [[nodiscard]] bool hasIgnoreInfo() const { return m_hasIgnoreInfo; }
    [[nodiscard]] QString availableUpdateText() const { return m_availableUpdateText; }
    [[nodiscard]] QString ignoredVersionText() const { return m_ignoredVersionText; }
    [[nodiscard]] QStringList log() const { return m_log; }
    [[nodiscard]] UpdateServices *updates() const { return m_updates; }
    void setUpdates(UpdateServices *updates);

    [[nodiscard]] static QString captionCheckFrequency() { return caption(QT_TRANSLATE_NOOP("NIMBSettings", "Check frequency")); }
    [[nodiscard]] static QString captionNextCheck() { return caption(QT_TRANSLATE_NOOP("NIMBSettings", "Next check")); }
    [[nodiscard]] static QString captionNotScheduled() { return caption(QT_TRANSLATE_NOOP("NIMBSettings", "Not scheduled")); }
    [[nodiscard]] static QString captionAvailableUpdate()
    {
        return caption(QT_TRANSLATE_NOOP("NIMBSettings", "Available update"));
    }
    [[nodiscard]] static QString captionIgnore() { return caption(QT_TRANSLATE_NOOP("NIMBSettings", " Ignore ")); }
    [[nodiscard]] static QString captionCancel() { return caption(QT_TRANSLATE_NOOP("NIMBSettings", " Cancel ")); }
    /// A caption in the person's language.
    [[nodiscard]] static QString caption(const char *english)
    {
        return QCoreApplication::translate("NIMBSettings", english);
    }

    /// Re-reads every value from the preferences (the view calls it when it appears).
    Q_INVOKABLE void refresh();
    /// " Ignore ": skip the available version.
    Q_INVOKABLE void ignoreUpdate();
    /// " Cancel " of the skipped version: offer it again.
    Q_INVOKABLE void cancelIgnore();
    /// " Reset Settings ": forget schedule, period and update knowledge.
    Q_INVOKABLE void resetSettings();
    /// " Check Now ": a manual check; its log is kept while debugging options show.
    Q_INVOKABLE void checkNow();
    /// "Test silent check": a silent check whose log is kept.
    Q_INVOKABLE void testSilentCheck();
    /// The context menu's "Show debugging options".
    Q_INVOKABLE void showDebuggingOptions();

signals:
    void checkPeriodChanged();
    void updateAvailableChanged();
    void showMoreOptionsChanged();
    void ignoreMaintenanceChanged();
    void nextUpdateCheckChanged();
    void hasIgnoreInfoChanged();
    void updateTextsChanged();
    void logChanged();
    void updatesChanged();
    /// A check started from this view has ended (also after Check Now).
    void checkFinished();

private:
    void setNextUpdateCheck(const std::optional<QDateTime> &next);
    void setHasIgnoreInfo(bool has);
    void setLog(const QStringList &log);
    void readStoredValues();
    NIMBLite *startCheck(bool keepLog);

    double m_checkPeriod = 604800.0;
    bool m_updateAvailable = false;
    bool m_showMoreOptions = false;
    bool m_ignoreMaintenance = false;
    std::optional<QDateTime> m_nextUpdateCheck;
    bool m_hasIgnoreInfo = false;
    QString m_availableUpdateText;
    QString m_ignoredVersionText;
    QStringList m_log;
    QPointer<UpdateServices> m_updates;
    UpdateServices m_noServices;
};

} // namespace moraine
