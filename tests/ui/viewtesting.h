#pragma once

#include "backup/backupcontroller.h"
#include "backup/scriptstore.h"
#include "fakevolumes.h"
#include "platform/fakevolumemonitor.h"
#include "platform/fakevolumetable.h"
#include "platform/volumeejector.h"
#include "ui/windowrouter.h"

#include <QDateTime>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <functional>
#include <memory>

// A set naming a destination, as a successful choice leaves it.
BackupScript setWithDestination(const QString &uuid, const QString &name, const QString &path,
                                const QStringList &sources = {});

// A backup controller over fake volumes and a private store, a QML engine
// with the views' module, image providers and a window router, and views
// loaded offscreen into a window of their own.
class ViewFixture
{
public:
    ViewFixture();
    ~ViewFixture();
    ViewFixture(const ViewFixture &) = delete;
    ViewFixture &operator=(const ViewFixture &) = delete;

    [[nodiscard]] ScriptStore store() const;
    void storeSet(const BackupScript &script) const;
    [[nodiscard]] BackupScript stored() const;

    // Makes the controller (after the table and store are arranged), the
    // engine and the router.
    BackupController &start();

    // Loads qrc:/Vellory/<file> with `controller`, `router` and `extra` as
    // its properties into a shown window of `size`. A view loaded before is
    // dropped first.
    QQuickItem *load(const QString &file, const QVariantMap &extra = {}, QSize size = QSize(800, 450));
    // Drops the loaded view and its window.
    void unload();

    // The object named `name` in `root` (default: the loaded view), looking
    // through items, popups and their content.
    [[nodiscard]] QObject *find(const QString &name, QObject *root = nullptr) const;
    [[nodiscard]] QQuickItem *item(const QString &name, QObject *root = nullptr) const;
    // Clicks the middle of `item` with the mouse.
    static void click(QQuickItem *item);
    // Lets queued work and timers run for `ms` milliseconds.
    static void settle(int ms = 50);
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000);

    QTemporaryDir dataDir;
    platform::FakeVolumeTable table;
    platform::FakeVolumeMonitor monitor;
    platform::FakeVolumeEjector ejector;
    QDateTime now = QDateTime(QDate(2024, 3, 9), QTime(14, 30));
    QStringList output;

    std::unique_ptr<BackupController> controller;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<WindowRouter> router;
    std::unique_ptr<QQuickWindow> window;
    QQuickItem *view = nullptr;
};
