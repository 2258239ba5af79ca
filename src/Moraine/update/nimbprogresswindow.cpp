#include "Moraine/update/nimbprogresswindow.h"

#include "Moraine/update/nimblite.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace moraine {

namespace {

QString applicationName()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QCoreApplication::translate("NIMBProgressWindow", "Unknown") : name;
}

} // namespace

NIMBProgressWindow::NIMBProgressWindow(NIMBLite *check)
    : m_check(check)
{
    setObjectName(QStringLiteral("updateProgressWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    // No minimise or maximise buttons: only a title and the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QCoreApplication::translate("NIMBProgressWindow", "%1 Updates").arg(applicationName()));
    setFixedSize(500, 150);

    auto *text = new QLabel(QCoreApplication::translate("NIMBProgressWindow", "Checking for a <b>%1</b> update...").arg(applicationName().toHtmlEscaped()), this);
    text->setObjectName(QStringLiteral("progressText"));
    text->setTextFormat(Qt::RichText);
    QFont font = text->font();
    font.setPointSize(15);
    text->setFont(font);
    text->setAlignment(Qt::AlignCenter);

    auto *bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setRange(0, 0); // indeterminate
    bar->setTextVisible(false);

    auto *cancel = new QPushButton(QCoreApplication::translate("NIMBProgressWindow", " Cancel "), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    // Enter and Escape both cancel: it is the window's only button.
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &NIMBProgressWindow::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    layout->addStretch();
}

NIMBProgressPresenter::~NIMBProgressPresenter()
{
    dismiss();
}

void NIMBProgressPresenter::present(NIMBLite *check)
{
    if (!m_window) {
        m_window = new NIMBProgressWindow(check);
        // Cancel in the window: it goes away from the main thread's queue.
        connect(m_window, &QDialog::rejected, this, &NIMBProgressPresenter::dismiss, Qt::QueuedConnection);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void NIMBProgressPresenter::dismiss()
{
    if (m_window) {
        NIMBProgressWindow *closing = m_window;
        m_window = nullptr;
        closing->hide();
        closing->deleteLater();
    }
}

UpdateServices::ProgressWindow NIMBProgressPresenter::progressWindow()
{
    const QPointer<NIMBProgressPresenter> self(this);
    return {[self](NIMBLite *check) {
                if (self) {
                    self->present(check);
                }
            },
            [self] {
                if (self) {
                    self->dismiss();
                }
            }};
}

void NIMBProgressWindow::reject()
{
    if (m_check) {
        m_check->cancel();
    }
    emit rejected();
}

} // namespace moraine
