#pragma once

#include "app/velloryapp.h"
#include "backup/scriptstore.h"
#include "fakevolumes.h"
#include "platform/fakevolumemonitor.h"
#include "platform/fakevolumetable.h"
#include "platform/volumeejector.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The application over fake volumes and a private store.
class AppFixture
{
public:
    AppFixture();
    ~AppFixture();

    [[nodiscard]] ScriptStore store() const;
    void storeSet(const BackupScript &script) const;
    // Makes the application (after the table and store are arranged).
    VelloryApp &start();
    [[nodiscard]] QQuickWindow *mainWindow() const;

    [[nodiscard]] static QObject *find(QObject *root, const QString &name);
    [[nodiscard]] static QQuickItem *item(QObject *root, const QString &name);
    // A menu bar entry of `window` by object name; the menus of its bar, and
    // the entries (items and separators) of one menu, in order.
    [[nodiscard]] static QObject *menuItem(QQuickWindow *window, const QString &name);
    [[nodiscard]] static QList<QObject *> menus(QQuickWindow *window);
    [[nodiscard]] static QList<QObject *> menuEntries(QObject *menu);
    // Runs a QML expression in the scope of `object` (for Qt's private types).
    [[nodiscard]] static QVariant evaluate(QObject *object, const QString &expression);
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000);

    QTemporaryDir dataDir;
    platform::FakeVolumeTable table;
    platform::FakeVolumeMonitor monitor;
    platform::FakeVolumeEjector ejector;
    std::unique_ptr<VelloryApp> app;
};
