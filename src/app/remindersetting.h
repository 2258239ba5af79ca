#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

/// The setting "Remind me after" as the settings window shows it: the
/// chosen entry of 1 week, 2 weeks, 1 month and Never.
class ReminderSetting : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int choice READ choice WRITE setChoice NOTIFY choiceChanged)

public:
    explicit ReminderSetting(QObject *parent = nullptr);

    [[nodiscard]] int choice() const;
    void setChoice(int choice);

signals:
    void choiceChanged();
};
