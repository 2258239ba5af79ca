#pragma once

#include "Moraine/kitalert.h"
#include "platform/urlopener.h"

#include <QObject>

namespace moraine {

/// The desktop as the kit's objects use it: opening addresses (browser, mail
/// program) and the kit alert. The application makes one and hands it to
/// every kit object that opens an address or shows an alert; tests hand a
/// recording one. Both services must outlive it.
class KitServices : public QObject
{
    Q_OBJECT

public:
    KitServices(platform::UrlOpener &urlOpener, KitAlerts &alerts, QObject *parent = nullptr)
        : QObject(parent)
        , m_urlOpener(urlOpener)
        , m_alerts(alerts)
    {
    }

    [[nodiscard]] platform::UrlOpener &urlOpener() const { return m_urlOpener; }
    /// Shows the kit alert; callable from any thread (see KitAlerts).
    void showAlert(const QString &title, const QString &message, const QString &detail, bool beep) const
    {
        m_alerts.showAlert(title, message, detail, beep);
    }

private:
    platform::UrlOpener &m_urlOpener;
    KitAlerts &m_alerts;
};

} // namespace moraine
