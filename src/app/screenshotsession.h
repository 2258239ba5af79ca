#pragma once

#include <QObject>
#include <QString>

class QQuickWindow;
class VelloryApp;
class DemoJobs;

/// Writes pictures of the main window, the Backups window and a log window
/// and the settings window into a folder, then quits the application:
/// "main-window.png", "backups-window.png", "backup-log-window.png",
/// "settings-window.png" and the main window at its smallest size,
/// "main-window-smallest.png". Only for `--screenshot`.
class ScreenshotSession : public QObject
{
    Q_OBJECT

public:
    ScreenshotSession(VelloryApp &app, DemoJobs *demo, QString folder, QObject *parent = nullptr);

    /// Starts once the demo jobs have settled (at once without a demo).
    void start();

private:
    void capture();
    bool save(QQuickWindow *window, const QString &fileName);

    VelloryApp &m_app;
    DemoJobs *m_demo;
    QString m_folder;
    bool m_started = false;
};
