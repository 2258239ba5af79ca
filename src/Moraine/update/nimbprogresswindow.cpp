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

// The one shared window of the update service.
QPointer<NIMBProgressWindow> &sharedWindow()
{
    static QPointer<NIMBProgressWindow> window;
    return window;
}

const bool installed = [] {
    NIMBProgressWindow::install();
    return true;
}();

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

void NIMBProgressWindow::install()
{
    NIMBLite::setProgressWindow({[](NIMBLite *check) { present(check); }, [] { dismiss(); }});
}

void NIMBProgressWindow::present(NIMBLite *check)
{
    QPointer<NIMBProgressWindow> &window = sharedWindow();
    if (!window) {
        window = new NIMBProgressWindow(check);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void NIMBProgressWindow::dismiss()
{
    QPointer<NIMBProgressWindow> &window = sharedWindow();
    if (window) {
        NIMBProgressWindow *closing = window;
        window = nullptr;
        closing->hide();
        closing->deleteLater();
    }
}

NIMBProgressWindow *NIMBProgressWindow::current()
{
    return sharedWindow();
}

void NIMBProgressWindow::reject()
{
    if (m_check) {
        m_check->cancel();
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { dismiss(); }, Qt::QueuedConnection);
}

} // namespace moraine
