#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

/// The setting "Start at login" (off until the person turns it on): whether
/// the user's autostart entry for the application exists. Turning it on
/// writes the entry, which starts this program in the background
/// ("--background") at login; turning it off removes it.
class LoginStart : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

public:
    static constexpr const char *kBackgroundOption = "--background";

    explicit LoginStart(QObject *parent = nullptr);

    [[nodiscard]] bool enabled() const;
    void setEnabled(bool enabled);
    /// Why the last change failed; empty after a success.
    [[nodiscard]] QString error() const { return m_error; }

signals:
    void enabledChanged();
    void errorChanged();

private:
    QString m_error;
};
