#pragma once

#include <QObject>

/// Told by the application when launching has finished; runs the tasks that
/// belong to that moment.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);

public slots:
    /// Launching has finished: the main window is up and the event loop runs.
    void applicationDidFinishLaunching();

signals:
    /// After the launch tasks have been started (for tests).
    void launchTasksStarted();
};
