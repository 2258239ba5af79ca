// vellory-window-bench: how smooth the real windows stay under load.
//
//   vellory-window-bench backup   backs up the saved set (XDG_DATA_HOME) with
//                                 the Backups window and the job's log window
//                                 open, follows the log while it runs, then
//                                 scrolls it from end to end and selects all
//   vellory-window-bench sources  loads the main window over the saved set
//                                 and scrolls the source grid end to end
//
// A timer ticks every few milliseconds on the main thread; the longest gap
// between two ticks is the longest stall a person would have seen. The
// program prints one line of key=value results. Run it offscreen
// (QT_QPA_PLATFORM=offscreen) with the software scene graph, which the
// application uses too.
#include "app/velloryapp.h"
#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "backup/backupthreadlistmodel.h"
#include "ui/icontheme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)
Q_IMPORT_QML_PLUGIN(Vellory_AppPlugin)
Q_IMPORT_QML_PLUGIN(MorainePlugin)
Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

namespace {

// Gaps between ticks of a fast main-thread timer.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            m_gaps.push_back(double(now - m_last) / 1e6);
            m_busy.push_back(double(cpu - m_lastCpu) / 1e6);
            m_last = now;
            m_lastCpu = cpu;
        });
    }

    void start()
    {
        m_gaps.clear();
        m_busy.clear();
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNs();
        m_timer.start();
    }

    /// Stops; the time since the last tick counts as a gap too (a stall
    /// that lasts until the stop would otherwise go unseen).
    void stop()
    {
        if (m_timer.isActive()) {
            m_gaps.push_back(double(m_clock.nsecsElapsed() - m_last) / 1e6);
            m_busy.push_back(double(threadCpuNs() - m_lastCpu) / 1e6);
        }
        m_timer.stop();
    }

    /// Goes on after a stop() without counting the pause as a gap.
    void resume()
    {
        m_last = m_clock.nsecsElapsed();
        m_lastCpu = threadCpuNs();
        m_timer.start();
    }

    [[nodiscard]] QString summary(const char *prefix) const
    {
        std::vector<double> sorted = m_gaps;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&](double share) {
            return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, size_t(share * double(sorted.size())))];
        };
        const auto over = std::count_if(sorted.begin(), sorted.end(), [](double gap) { return gap > 50.0; });
        // The most processor time the main thread used between two ticks:
        // the longest it worked without coming back to its event loop. The
        // rest of a longer gap it spent waiting for a core (a loaded machine).
        const double busiest = m_busy.empty() ? 0.0 : *std::max_element(m_busy.begin(), m_busy.end());
        return QStringLiteral("%1_max_stall_ms=%2 %1_p99_ms=%3 %1_stalls_over_50ms=%4 %1_ticks=%5 %1_max_busy_ms=%6")
            .arg(QLatin1String(prefix))
            .arg(sorted.empty() ? 0.0 : sorted.back(), 0, 'f', 1)
            .arg(at(0.99), 0, 'f', 1)
            .arg(over)
            .arg(sorted.size())
            .arg(busiest, 0, 'f', 1);
    }

private:
    static constexpr int kTickMs = 4;
    QTimer m_timer;
    QElapsedTimer m_clock;
    static qint64 threadCpuNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    std::vector<double> m_gaps;
    std::vector<double> m_busy; // main-thread processor time per gap
};

// The peak resident memory of this program's own image (VmHWM). Not
// getrusage(): its maximum carries over from the parent that forked the
// program, and bench/run's parent holds a million-file list.
long peakRssKiB()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kib;
}

// The item named `name` below `item`, through visual children (views
// reparent their content) as well as object children.
QQuickItem *findItem(QQuickItem *item, const QString &name)
{
    if (!item) {
        return nullptr;
    }
    if (item->objectName() == name) {
        return item;
    }
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = findItem(child, name)) {
            return found;
        }
    }
    return item->findChild<QQuickItem *>(name);
}

QQuickItem *findItem(QQuickWindow *window, const char *name)
{
    return window ? findItem(window->contentItem(), QLatin1String(name)) : nullptr;
}

// Scrolls a list or grid from its start to its end, `pages` pages every
// frame (16 ms), as a person flicking through it would; then calls `done`.
void scrollThrough(QQuickItem *view, int pages, const std::function<void()> &done)
{
    if (!view) {
        done();
        return;
    }
    view->setProperty("contentY", view->property("originY"));
    auto *stepper = new QTimer(view);
    stepper->setInterval(16);
    QObject::connect(stepper, &QTimer::timeout, view, [view, stepper, pages, done] {
        const qreal end = view->property("originY").toReal() + view->property("contentHeight").toReal()
                          - view->height();
        const qreal next = view->property("contentY").toReal() + view->height() * pages;
        view->setProperty("contentY", std::min(next, end));
        if (next >= end) {
            stepper->stop();
            stepper->deleteLater();
            done();
        }
    });
    stepper->start();
}

int benchBackup(VelloryApp &app)
{
    StallMeter meter;
    QElapsedTimer clock;
    BackupController &controller = *app.controller();
    qint64 openMs = 0;
    QString backupsOpen;
    QObject::connect(&controller, &BackupController::backupStarted, &app, [&](BackupThread *job) {
        // Opening the log window is timed on its own: it is a person's
        // click, not a stall the running backup causes.
        meter.stop();
        QElapsedTimer opening;
        opening.start();
        QQuickWindow *logWindow = app.router().openLogWindow(job->id());
        openMs = opening.elapsed();
        meter.resume();
        QObject::connect(job, &BackupThread::statusChanged, &app, [&, job, logWindow] {
            if (job->isRunning()) {
                return;
            }
            const QString during = meter.summary("run");
            const double seconds = double(clock.elapsed()) / 1000.0;
            const qsizetype lines = job->log().size();
            meter.start();
            QQuickItem *view = findItem(logWindow, "backupLogView");
            scrollThrough(findItem(logWindow, "logLines"), 10, [&, view, during, seconds, lines] {
                if (view) {
                    QMetaObject::invokeMethod(view, "selectAll");
                    const QString text = view->property("hasSelection").toBool() ? QStringLiteral("yes")
                                                                                : QStringLiteral("no");
                    std::printf("selected_all=%s ", qPrintable(text));
                }
                meter.stop();
                std::printf("%s %s run_seconds=%.2f log_window_open_ms=%lld log_lines=%lld %s peak_rss_kib=%ld\n",
                            qPrintable(backupsOpen), qPrintable(during), seconds, static_cast<long long>(openMs),
                            static_cast<long long>(lines),
                            qPrintable(meter.summary("scroll")), peakRssKiB());
                QCoreApplication::exit(0);
            });
        });
    });
    QTimer::singleShot(0, &app, [&] {
        if (controller.volumeStatus() != VolumeStatusValue::Connected) {
            std::fprintf(stderr, "the saved set's destination is not connected\n");
            QCoreApplication::exit(2);
            return;
        }
        // The first opening of the Backups window, which the first backup
        // brings up, is measured on its own: from the request to its first
        // frame, and the longest the main thread was held meanwhile.
        QElapsedTimer opening;
        opening.start();
        meter.start();
        QQuickWindow *backups = app.router().openWindow(QString::fromLatin1(WindowRouter::kBackupsWindow));
        QObject::connect(
            backups, &QQuickWindow::frameSwapped, &app,
            [&, opening] {
                meter.stop();
                backupsOpen = QStringLiteral("backups_window_open_ms=%1 %2")
                                  .arg(opening.elapsed())
                                  .arg(meter.summary("backups_window_open"));
                clock.start();
                meter.start();
                controller.startBackup();
            },
            Qt::SingleShotConnection);
    });
    return QApplication::exec();
}

int benchSources(VelloryApp &app, const QElapsedTimer &sinceStart)
{
    StallMeter meter;
    QQuickWindow *main = app.router().window(QString::fromLatin1(VelloryApp::kMainWindow));
    // Loaded once the main window has drawn its first frame.
    QObject::connect(main, &QQuickWindow::frameSwapped, &app, [&, main] {
        QObject::disconnect(main, &QQuickWindow::frameSwapped, &app, nullptr);
        const qint64 loadMs = sinceStart.elapsed();
        meter.start();
        scrollThrough(findItem(main, "sourceGrid"), 1, [&, loadMs] {
            meter.stop();
            std::printf("sources=%lld load_ms=%lld %s peak_rss_kib=%ld\n",
                        static_cast<long long>(app.controller()->sourcePaths().size()), static_cast<long long>(loadMs),
                        qPrintable(meter.summary("scroll")), peakRssKiB());
            QCoreApplication::exit(0);
        });
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode != QLatin1String("backup") && mode != QLatin1String("sources")) {
        std::fprintf(stderr, "usage: vellory-window-bench backup|sources\n");
        return 64;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    useIconThemeFallback();

    QElapsedTimer sinceStart;
    sinceStart.start();
    VelloryApp app;
    if (!app.launch()) {
        std::fprintf(stderr, "the main window could not be made\n");
        return 1;
    }
    return mode == QLatin1String("backup") ? benchBackup(app) : benchSources(app, sinceStart);
}
