#pragma once

#include "platform/settings.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

/// The setting "Remind me after" as the settings window shows it: the
/// chosen entry of 1 week, 2 weeks, 1 month and Never, kept in `settings`.
class ReminderSetting : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(platform::Settings *settings READ settings WRITE setSettings NOTIFY settingsChanged REQUIRED)
    Q_PROPERTY(int choice READ choice WRITE setChoice NOTIFY choiceChanged)

public:
    explicit ReminderSetting(QObject *parent = nullptr);

    [[nodiscard]] platform::Settings *settings() const { return m_settings; }
    void setSettings(platform::Settings *settings);
    /// The first entry while there are no settings.
    [[nodiscard]] int choice() const;
    void setChoice(int choice);

signals:
    void settingsChanged();
    void choiceChanged();

private:
    QPointer<platform::Settings> m_settings;
};
