#pragma once

#include "app/velloryapp.h"
#include "backup/scriptstore.h"
#include "platform/fakevolumemonitor.h"
#include "platform/fakevolumetable.h"
#include "platform/volumeejector.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A fake stick as the volume table reports it.
platform::MountedVolume fakeStick(const QString &uuid, const QString &name, const QString &path);

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
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000);

    QTemporaryDir dataDir;
    platform::FakeVolumeTable table;
    platform::FakeVolumeMonitor monitor;
    platform::FakeVolumeEjector ejector;
    std::unique_ptr<VelloryApp> app;
};
