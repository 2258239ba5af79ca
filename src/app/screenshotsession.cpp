#include "app/screenshotsession.h"

#include "app/demojobs.h"
#include "app/velloryapp.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QQuickWindow>
#include <QTimer>
#include <QTextStream>

namespace {

// Long enough for the windows to be drawn and the bars to have moved.
constexpr int kSettleMs = 2500;
// A demo job that never ends must not hold the pictures back for ever.
constexpr int kDemoTimeoutMs = 20000;
constexpr int kResizeSettleMs = 600;

} // namespace

ScreenshotSession::ScreenshotSession(VelloryApp &app, DemoJobs *demo, QString folder, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_demo(demo)
    , m_folder(std::move(folder))
{
}

void ScreenshotSession::start()
{
    auto begin = [this] {
        if (m_started) {
            return;
        }
        m_started = true;
        if (m_demo && m_demo->finishedJob()) {
            m_app.router().openLogWindow(m_demo->finishedJob()->id());
        }
        m_app.commands()->showSettings();
        QTimer::singleShot(kSettleMs, this, &ScreenshotSession::capture);
    };
    if (m_demo) {
        connect(m_demo, &DemoJobs::settled, this, begin);
        QTimer::singleShot(kDemoTimeoutMs, this, begin);
    } else {
        QTimer::singleShot(0, this, begin);
    }
}

void ScreenshotSession::capture()
{
    QDir().mkpath(m_folder);
    bool ok = save(m_app.router().window(QString::fromLatin1(VelloryApp::kMainWindow)), QStringLiteral("main-window.png"));
    ok = save(m_app.router().openWindow(QString::fromLatin1(WindowRouter::kBackupsWindow)),
              QStringLiteral("backups-window.png"))
        && ok;
    if (m_demo && m_demo->finishedJob()) {
        ok = save(m_app.router().logWindow(m_demo->finishedJob()->id()), QStringLiteral("backup-log-window.png")) && ok;
    }
    ok = save(m_app.router().window(QString::fromLatin1(AppCommands::kSettingsWindow)),
              QStringLiteral("settings-window.png"))
        && ok;
    // Last, the main window at its smallest size, once it has been redrawn.
    QQuickWindow *main = m_app.router().window(QString::fromLatin1(VelloryApp::kMainWindow));
    if (!main) {
        QCoreApplication::exit(1);
        return;
    }
    main->resize(main->minimumSize());
    QTimer::singleShot(kResizeSettleMs, this, [this, main, ok] {
        const bool smallest = save(main, QStringLiteral("main-window-smallest.png"));
        QCoreApplication::exit(ok && smallest ? 0 : 1);
    });
}

bool ScreenshotSession::save(QQuickWindow *window, const QString &fileName)
{
    QTextStream err(stderr);
    if (!window) {
        err << "No window for " << fileName << Qt::endl;
        return false;
    }
    const QImage image = window->grabWindow();
    const QString path = QDir(m_folder).filePath(fileName);
    if (image.isNull() || !image.save(path)) {
        err << "Could not write " << path << Qt::endl;
        return false;
    }
    err << "Wrote " << path << Qt::endl;
    return true;
}
