#pragma once

#include <QList>
#include <QObject>
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

/// The kit alert: every user-facing failure of the kit goes through it,
/// with the application's and the system's versions appended. Alerts are
/// shown one after another through the presenter, on the main thread.
class KitAlerts : public QObject
{
    Q_OBJECT

public:
    /// `presenter` puts the alerts on screen (tests record them); not owned.
    explicit KitAlerts(AlertPresenter &presenter, QObject *parent = nullptr);

    /// Shows the kit alert. Callable from any thread, never blocks: the alert
    /// is queued on this object's thread, and several calls show one modal
    /// alert after another.
    void showAlert(const QString &title, const QString &message, const QString &detail, bool beep);

private:
    void showNext();

    AlertPresenter &m_presenter;
    QList<KitAlertContent> m_pending;
    bool m_showing = false;
};

} // namespace moraine
