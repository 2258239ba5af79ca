#pragma once

#include <QObject>
#include <QString>

#include <functional>

class UpdateChecks;

namespace moraine {
class UpdateServices;
}

/// Told by the application when launching has finished; configures the
/// update service then: its page address and verification key, and one
/// silent check. A key that cannot be read is reported in the kit alert and
/// no check is made during this run (a manual check still can be, and then
/// fails for want of the key).
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kKeyAlertTitle = QT_TRANSLATE_NOOP("KitAlert", "Couldn't configure update system");

    /// Configures `services` and starts the silent check with `checks`.
    AppDelegate(UpdateChecks &checks, moraine::UpdateServices &services, QObject *parent = nullptr);

    /// Where the PEM text of the verification key comes from (default: the
    /// key built into the program); tests give their own.
    void setPublicKeySource(std::function<QString()> source);

public slots:
    /// Launching has finished: the main window is up and the event loop runs.
    void applicationDidFinishLaunching();

signals:
    /// The launch tasks are done (after the check was started, or the alert
    /// was asked for).
    void launchTasksStarted();

private:
    UpdateChecks &m_checks;
    moraine::UpdateServices &m_services;
    std::function<QString()> m_publicKeySource;
};
