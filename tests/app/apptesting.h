#pragma once

#include "Moraine/update/nimblite.h"
#include "app/velloryapp.h"
#include "controllertesting.h"
#include "objectsearch.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>

#include <memory>

// The application over fake volumes and a private store (see
// ControllerFixture), with update checks that contact nobody and no update
// preferences before or after.
class AppFixture : public ControllerFixture
{
public:
    AppFixture();
    ~AppFixture();

    // Makes the application (after the table and store are arranged).
    VelloryApp &start();
    // Makes and launches it; its main window once shown.
    QQuickWindow *launch();
    [[nodiscard]] QQuickWindow *mainWindow() const;

    // The object named `name` below `root`, popups, menu bars and headers included.
    [[nodiscard]] static QObject *find(QObject *root, const QString &name) { return findObjectNamed(root, name); }
    [[nodiscard]] static QQuickItem *item(QObject *root, const QString &name) { return qobject_cast<QQuickItem *>(find(root, name)); }
    // Its "text" property, or a note that it is missing.
    [[nodiscard]] static QString text(QObject *root, const QString &name);
    // Whether it is there and visible, or enabled, or has another such property set.
    [[nodiscard]] static bool visible(QObject *root, const QString &name) { return flag(root, name, "visible"); }
    [[nodiscard]] static bool enabled(QObject *root, const QString &name) { return flag(root, name, "enabled"); }
    [[nodiscard]] static bool flag(QObject *root, const QString &name, const char *property);
    static void trigger(QObject *root, const QString &name);
    // Clicks the middle of `item` and lets the window follow.
    static void click(QQuickItem *item);
    static void click(QObject *root, const QString &name) { click(item(root, name)); }
    // Runs a QML expression on `object` (for Qt's private types); nothing without one.
    [[nodiscard]] static QVariant evaluate(QObject *object, const QString &expression);

    // Every update check made: its kind ("silent" or "manual") and the object,
    // which deletes itself once completed.
    QStringList checkKinds;
    QList<QPointer<moraine::NIMBLite>> checks;
    // The desktop the application acts on.
    RecordingUrlOpener browser;
    RecordingAlertPresenter alerts;
    std::unique_ptr<VelloryApp> app;
};
