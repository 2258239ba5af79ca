#include "Moraine/kitalert.h"

#include <QCoreApplication>

#include "Moraine/systemreport.h"

#include "platform/buildinfo.h"

#include <QSysInfo>

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

KitAlerts::KitAlerts(AlertPresenter &presenter, QObject *parent)
    : QObject(parent)
    , m_presenter(presenter)
{
}

void KitAlerts::showAlert(const QString &title, const QString &message, const QString &detail, bool beep)
{
    QMetaObject::invokeMethod(
        this,
        [this, title, message, detail, beep] {
            m_pending.append(makeKitAlert(title, message, detail, beep, versionString(), systemVersionText()));
            showNext();
        },
        Qt::QueuedConnection);
}

void KitAlerts::showNext()
{
    if (m_showing || m_pending.isEmpty()) {
        return;
    }
    m_showing = true;
    m_presenter.present(m_pending.takeFirst(), [this] {
        m_showing = false;
        showNext();
    });
}

} // namespace moraine
