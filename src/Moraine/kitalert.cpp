#include "Moraine/kitalert.h"

#include "Moraine/systemreport.h"

#include "platform/buildinfo.h"

#include <QCoreApplication>
#include <QPointer>
#include <QQueue>
#include <QSysInfo>

#include <cstdio>

namespace moraine {

std::optional<QString> versionString(const QString &shortVersion, const QString &build)
{
    if (!shortVersion.isEmpty() && !build.isEmpty()) {
        return shortVersion + QStringLiteral(" (") + build + QStringLiteral(")");
    }
    if (!shortVersion.isEmpty()) {
        return shortVersion;
    }
    if (!build.isEmpty()) {
        return build;
    }
    return std::nullopt;
}

std::optional<QString> versionString()
{
    return versionString(platform::buildinfo::shortVersion(), platform::buildinfo::buildNumber());
}

QString systemVersionText()
{
    // The same text as the system report's, so an alert and a feedback mail
    // name the system alike.
    return systemVersionText(platform::systemFacts());
}

KitAlertContent makeKitAlert(const QString &title, const QString &message, const QString &detail, bool beep,
                             const std::optional<QString> &version, const QString &systemVersion)
{
    KitAlertContent alert;
    alert.title = title;
    alert.informativeText = message + QStringLiteral("\n") + detail + QStringLiteral("\n\n")
                            + QCoreApplication::translate("KitAlert", "Version: %1")
                                  .arg(version.value_or(QCoreApplication::translate("KitAlert", "Unknown")))
                            + QStringLiteral("\n") + systemVersion;
    alert.beep = beep;
    return alert;
}

namespace {

// Without a desktop (vellory-cli, or before the application installed its
// message box) an alert is a line on standard error.
class ErrorLinePresenter final : public AlertPresenter
{
public:
    void present(const KitAlertContent &alert, std::function<void()> done) override
    {
        std::fprintf(stderr, "%s\n%s\n", qPrintable(alert.title), qPrintable(alert.informativeText));
        done();
    }
};

// Shows queued alerts one at a time on the main thread.
class AlertQueue
{
public:
    void enqueue(KitAlertContent alert)
    {
        m_pending.enqueue(std::move(alert));
        showNext();
    }

    AlertPresenter *presenter = nullptr;
    AlertPresenter *desktopPresenter = nullptr;

private:
    void showNext()
    {
        if (m_showing || m_pending.isEmpty()) {
            return;
        }
        m_showing = true;
        const KitAlertContent alert = m_pending.dequeue();
        AlertPresenter *target = presenter ? presenter : desktopPresenter ? desktopPresenter : &m_errorLine;
        target->present(alert, [this] {
            m_showing = false;
            showNext();
        });
    }

    ErrorLinePresenter m_errorLine;
    QQueue<KitAlertContent> m_pending;
    bool m_showing = false;
};

AlertQueue &alertQueue()
{
    static AlertQueue queue;
    return queue;
}

} // namespace

void setAlertPresenter(AlertPresenter *presenter)
{
    alertQueue().presenter = presenter;
}

void setDesktopAlertPresenter(AlertPresenter *presenter)
{
    alertQueue().desktopPresenter = presenter;
}

void showAlert(const QString &title, const QString &message, const QString &detail, bool beep)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [title, message, detail, beep] {
            alertQueue().enqueue(makeKitAlert(title, message, detail, beep, versionString(), systemVersionText()));
        },
        Qt::QueuedConnection);
}

} // namespace moraine
