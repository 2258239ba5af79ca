#include "Moraine/messageboxalerts.h"

#include "Moraine/kitalert.h"

#include <QApplication>
#include <QMessageBox>

namespace moraine {
namespace {

class MessageBoxPresenter final : public AlertPresenter
{
public:
    void present(const KitAlertContent &alert, std::function<void()> done) override
    {
        if (alert.beep) {
            QApplication::beep();
        }
        auto *box = new QMessageBox(QMessageBox::Warning, alert.title, alert.title, QMessageBox::Ok);
        box->setInformativeText(alert.informativeText);
        box->setWindowModality(Qt::ApplicationModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [done] { done(); });
        box->show();
    }
};

} // namespace

void installMessageBoxAlerts()
{
    static MessageBoxPresenter presenter;
    setDesktopAlertPresenter(&presenter);
}

} // namespace moraine
