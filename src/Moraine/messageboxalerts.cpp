#include "Moraine/messageboxalerts.h"

#include <QApplication>
#include <QMessageBox>

namespace moraine {

void MessageBoxAlertPresenter::present(const KitAlertContent &alert, std::function<void()> done)
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

} // namespace moraine
