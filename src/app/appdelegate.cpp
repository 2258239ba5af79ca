#include "app/appdelegate.h"

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The launch tasks (update service set-up and its first check) go here.
    emit launchTasksStarted();
}
