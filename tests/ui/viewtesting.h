#pragma once

#include "controllertesting.h"
#include "ui/windowrouter.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <memory>

// A controller over fake volumes (see ControllerFixture) and a QML engine
// with the views' module, image providers and a window router, whose
// windows are shown offscreen.
class ViewFixture : public ControllerFixture
{
public:
    ~ViewFixture();

    // Makes the controller (after the table and store are arranged), the
    // engine and the router.
    BackupController &start();

    // The item named `name` below `root`, popups included, and its text.
    [[nodiscard]] static QQuickItem *item(const QString &name, QObject *root);
    [[nodiscard]] static QString text(const QString &name, QObject *root);
    // Clicks the middle of `item` and lets the view follow.
    static void click(QQuickItem *item);
    static void settle(int ms = 50);

    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<WindowRouter> router;
};
