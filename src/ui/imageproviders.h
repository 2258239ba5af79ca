#pragma once

class BackupController;
class QQmlEngine;

/// Gives `engine` the image providers the views load their pictures from:
/// "fileicon" (themed file icons), "themeicon" (named theme icons, tinted)
/// and "vellory" (the controller's volume icons and the jobs' icons); keeps
/// the controller's jobs owned by C++ when QML gets them.
void installImageProviders(QQmlEngine &engine, BackupController *controller);
