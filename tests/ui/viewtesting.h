#pragma once

#include "controllertesting.h"
#include "ui/windowrouter.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariantMap>

#include <memory>

// A controller over fake volumes (see ControllerFixture), a QML engine with
// the views' module, image providers and a window router, and views loaded
// offscreen into a window of their own.
class ViewFixture : public ControllerFixture
{
public:
    ViewFixture();
    ~ViewFixture();

    // Makes the controller (after the table and store are arranged), the
    // engine and the router.
    BackupController &start();
    // Loads qrc:/Vellory/<file> with `controller`, `router` and `extra` as its
    // properties into a shown window of `size`, dropping the view loaded before.
    QQuickItem *load(const QString &file, const QVariantMap &extra = {}, QSize size = QSize(800, 450));
    void unload();

    // The object named `name` in `root` (default: the loaded view), popups included.
    [[nodiscard]] QObject *find(const QString &name, QObject *root = nullptr) const;
    [[nodiscard]] QQuickItem *item(const QString &name, QObject *root = nullptr) const;
    [[nodiscard]] QString text(const QString &name, QObject *root = nullptr) const;
    // Clicks the middle of `item` and lets the view follow.
    static void click(QQuickItem *item);
    static void settle(int ms = 50);

    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<WindowRouter> router;
    std::unique_ptr<QQuickWindow> window;
    QQuickItem *view = nullptr;
};
