#include "apptesting.h"

#include "objectsearch.h"

#include "Moraine/update/nimblite.h"
#include "platform/preferences.h"
#include "updatetestsupport.h"
#include "ui/icontheme.h"

#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickStyle>
#include <QSet>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)
Q_IMPORT_QML_PLUGIN(Vellory_AppPlugin)
Q_IMPORT_QML_PLUGIN(MorainePlugin)
Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

namespace {

// Once for the run, before any window: software drawing, the application's
// style and icon theme.
class AppEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        useIconThemeFallback();
    }
};

[[maybe_unused]] ::testing::Environment *const appEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);


// An update check that contacts nobody and completes at once: what a
// launch in these tests starts unless a test says otherwise.
class QuietCheck : public moraine::NIMBLite
{
public:
    QuietCheck()
        : NIMBLite(facts())
    {
    }
    void performManualCheck() override { finishCheck(); }
    void performSilentCheck() override { finishCheck(); }
};

// Runs `expression` in the QML scope of `object` and gives the object it
// yields (the menu types are private to Qt, so C++ cannot call them).
QObject *evaluateObject(QObject *object, const QString &expression)
{
    QQmlExpression run(qmlContext(object), object, expression);
    const QVariant value = run.evaluate();
    return value.value<QObject *>();
}

void clearPreferences()
{
    const auto settings = platform::preferences();
    for (const char *key : {"iconSize", "autoBackupOnConnect", "autoEjectOnComplete"}) {
        settings->remove(QString::fromLatin1(key));
    }
}

} // namespace


AppFixture::AppFixture()
    : monitor(table)
    , ejector(&monitor)
{
    clearPreferences();
    // Jobs started by a test must never try to eject anything of this machine.
    platform::preferences()->setValue(QStringLiteral("autoEjectOnComplete"), false);
}

AppFixture::~AppFixture()
{
    app.reset();
    clearPreferences();
}

ScriptStore AppFixture::store() const
{
    return ScriptStore(dataDir.path(), [](const QString &) {});
}

void AppFixture::storeSet(const BackupScript &script) const
{
    ASSERT_TRUE(store().save(script));
}

VelloryApp &AppFixture::start()
{
    BackupControllerServices services;
    services.store = store();
    services.volumeTable = &table;
    services.volumeMonitor = &monitor;
    services.volumeEjector = &ejector;
    services.outputLine = [](const QString &) {};
    app = std::make_unique<VelloryApp>(std::move(services));
    app->updateChecks().setFactory([] { return new QuietCheck; });
    return *app;
}

QQuickWindow *AppFixture::mainWindow() const
{
    return app ? app->router().window(QString::fromLatin1(VelloryApp::kMainWindow)) : nullptr;
}

QObject *AppFixture::find(QObject *root, const QString &name)
{
    return findObjectNamed(root, name);
}

QQuickItem *AppFixture::item(QObject *root, const QString &name)
{
    return qobject_cast<QQuickItem *>(find(root, name));
}

QObject *AppFixture::menuItem(QQuickWindow *window, const QString &name)
{
    QObject *bar = window ? window->property("menuBar").value<QObject *>() : nullptr;
    if (!bar) {
        return nullptr;
    }
    for (QObject *menu : menus(window)) {
        for (QObject *entry : menuEntries(menu)) {
            if (entry && entry->objectName() == name) {
                return entry;
            }
        }
    }
    return nullptr;
}

QList<QObject *> AppFixture::menus(QQuickWindow *window)
{
    QList<QObject *> found;
    QObject *bar = window ? window->property("menuBar").value<QObject *>() : nullptr;
    if (!bar) {
        return found;
    }
    const int count = bar->property("count").toInt();
    for (int i = 0; i < count; ++i) {
        found.append(evaluateObject(bar, QStringLiteral("menuAt(%1)").arg(i)));
    }
    return found;
}

QList<QObject *> AppFixture::menuEntries(QObject *menu)
{
    QList<QObject *> entries;
    const int count = menu ? menu->property("count").toInt() : 0;
    for (int i = 0; i < count; ++i) {
        entries.append(evaluateObject(menu, QStringLiteral("itemAt(%1)").arg(i)));
    }
    return entries;
}

QVariant AppFixture::evaluate(QObject *object, const QString &expression)
{
    QQmlExpression run(qmlContext(object), object, expression);
    return run.evaluate();
}

bool AppFixture::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}
