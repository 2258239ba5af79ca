#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace moraine {

/// The application's version as one text: "2.0.1 (57)", only the short
/// version, only the build, or nothing when neither is known.
[[nodiscard]] std::optional<QString> versionString();
/// The same, from given parts (empty means absent); used by versionString().
[[nodiscard]] std::optional<QString> versionString(const QString &shortVersion, const QString &build);

/// The operating system's version text as the alert shows it.
[[nodiscard]] QString systemVersionText();

/// What one kit alert shows: the title as the message text, and the
/// informative text with the version lines appended.
struct KitAlertContent
{
    QString title;
    QString informativeText;
    bool beep = false;
};

/// Builds the alert for showAlert(): message + "\n" + detail + "\n\nVersion: "
/// + version (or "Unknown") + "\n" + the system's version text.
[[nodiscard]] KitAlertContent makeKitAlert(const QString &title, const QString &message, const QString &detail,
                                           bool beep, const std::optional<QString> &version,
                                           const QString &systemVersion);

/// Puts an alert on screen (and beeps when it asks to); calls `done` once
/// the person has dismissed it.
class AlertPresenter
{
public:
    virtual ~AlertPresenter() = default;
    virtual void present(const KitAlertContent &alert, std::function<void()> done) = 0;
};

/// Installs a presenter (tests record alerts instead of showing them);
/// nullptr restores the desktop's. Not owned.
void setAlertPresenter(AlertPresenter *presenter);
/// The desktop's presenter, a modal message box, which the views install
/// (installMessageBoxAlerts()); without one an alert is written to
/// standard error. Not owned.
void setDesktopAlertPresenter(AlertPresenter *presenter);

/// Shows the kit alert. Callable from any thread, never blocks: the alert is
/// queued on the main thread, and several calls show one modal alert after
/// another.
void showAlert(const QString &title, const QString &message, const QString &detail, bool beep);

} // namespace moraine
