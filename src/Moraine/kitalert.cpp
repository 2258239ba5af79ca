#include "Moraine/kitalert.h"

#include "Moraine/systemreport.h"

#include "platform/buildinfo.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
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
    alert.informativeText = message + QStringLiteral("\n") + detail + QStringLiteral("\n\nVersion: ")
                            + version.value_or(QStringLiteral("Unknown")) + QStringLiteral("\n") + systemVersion;
    alert.beep = beep;
    return alert;
}

namespace {

class MessageBoxPresenter final : public AlertPresenter
{
public:
    void present(const KitAlertContent &alert, std::function<void()> done) override
    {
        auto *box = new QMessageBox(QMessageBox::Warning, alert.title, alert.title, QMessageBox::Ok);
        box->setInformativeText(alert.informativeText);
        box->setWindowModality(Qt::ApplicationModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [done] { done(); });
        box->show();
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

private:
    void showNext()
    {
        if (m_showing || m_pending.isEmpty()) {
            return;
        }
        m_showing = true;
        const KitAlertContent alert = m_pending.dequeue();
        if (alert.beep) {
            QApplication::beep();
        }
        AlertPresenter *target = presenter ? presenter : &m_messageBox;
        target->present(alert, [this] {
            m_showing = false;
            showNext();
        });
    }

    MessageBoxPresenter m_messageBox;
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
