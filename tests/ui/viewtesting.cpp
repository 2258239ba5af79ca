#include "viewtesting.h"

#include "objectsearch.h"

#include "platform/preferences.h"
#include "ui/icontheme.h"
#include "ui/imageproviders.h"

#include <QQmlComponent>
#include <QQuickStyle>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)

namespace {

const QStringList kPreferenceKeys = {QStringLiteral("iconSize"), QStringLiteral("autoBackupOnConnect"),
                                     QStringLiteral("autoEjectOnComplete")};

void clearPreferences()
{
    const auto settings = platform::preferences();
    for (const QString &key : kPreferenceKeys) {
        settings->remove(key);
    }
}



// Set once for the whole run, before any view or icon is made: the software
// scene graph draws without a GPU, the style and the icon theme are the ones
// the application uses.
class ViewEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        useIconThemeFallback();
    }
};

[[maybe_unused]] ::testing::Environment *const viewEnvironment =
    ::testing::AddGlobalTestEnvironment(new ViewEnvironment);

} // namespace


BackupScript setWithDestination(const QString &uuid, const QString &name, const QString &path,
                                const QStringList &sources)
{
    BackupScript script;
    script.sourcePaths = sources;
    script.volumeUUID = uuid;
    script.volumeName = name;
    script.volumePath = path;
    script.volumeCapacity = 8'000'000'000;
    script.volumeDescription = QStringLiteral("Cruzer Blade, USB");
    script.lastBackup = QStringLiteral("3/1/24, 9:00 AM");
    return script;
}

ViewFixture::ViewFixture()
    : monitor(table)
    , ejector(&monitor)
{
    clearPreferences();
    // Jobs started by a test must never try to eject anything of this machine.
    platform::preferences()->setValue(QStringLiteral("autoEjectOnComplete"), false);
}

ViewFixture::~ViewFixture()
{
    unload();
    router.reset();
    engine.reset();
    controller.reset();
    clearPreferences();
}

ScriptStore ViewFixture::store() const
{
    return ScriptStore(dataDir.path(), [](const QString &) {});
}

void ViewFixture::storeSet(const BackupScript &script) const
{
    ASSERT_TRUE(store().save(script));
}

BackupScript ViewFixture::stored() const
{
    return store().read().script.value_or(BackupScript());
}

BackupController &ViewFixture::start()
{
    BackupControllerServices services;
    services.store = store();
    services.volumeTable = &table;
    services.volumeMonitor = &monitor;
    services.volumeEjector = &ejector;
    services.outputLine = [this](const QString &line) { output.append(line); };
    services.clock = [this] { return now; };
    controller = std::make_unique<BackupController>(std::move(services));

    engine = std::make_unique<QQmlEngine>();
    engine->addImportPath(QStringLiteral("qrc:/"));
    installImageProviders(*engine, controller.get());
    router = std::make_unique<WindowRouter>(*engine);
    router->setSharedProperty(QStringLiteral("controller"), QVariant::fromValue(controller.get()));
    return *controller;
}

QQuickItem *ViewFixture::load(const QString &file, const QVariantMap &extra, QSize size)
{
    unload();
    QVariantMap properties = extra;
    properties.insert(QStringLiteral("controller"), QVariant::fromValue(controller.get()));
    properties.insert(QStringLiteral("router"), QVariant::fromValue(router.get()));

    QQmlComponent component(engine.get(), QUrl(QStringLiteral("qrc:/Vellory/") + file));
    if (component.isError()) {
        ADD_FAILURE() << component.errorString().toStdString();
        return nullptr;
    }
    QObject *object = component.beginCreate(engine->rootContext());
    if (!object) {
        ADD_FAILURE() << component.errorString().toStdString();
        return nullptr;
    }
    QVariantMap declared;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (object->metaObject()->indexOfProperty(it.key().toUtf8().constData()) >= 0) {
            declared.insert(it.key(), it.value());
        }
    }
    component.setInitialProperties(object, declared);
    component.completeCreate();
    if (component.isError()) {
        ADD_FAILURE() << component.errorString().toStdString();
        delete object;
        return nullptr;
    }
    view = qobject_cast<QQuickItem *>(object);
    if (!view) {
        ADD_FAILURE() << "not an item: " << file.toStdString();
        delete object;
        return nullptr;
    }
    window = std::make_unique<QQuickWindow>();
    window->resize(size);
    view->setParentItem(window->contentItem());
    view->setSize(QSizeF(size));
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    settle();
    return view;
}

void ViewFixture::unload()
{
    delete view;
    view = nullptr;
    window.reset();
}

QObject *ViewFixture::find(const QString &name, QObject *root) const
{
    return findObjectNamed(root ? root : view, name);
}

QQuickItem *ViewFixture::item(const QString &name, QObject *root) const
{
    return qobject_cast<QQuickItem *>(find(name, root));
}

void ViewFixture::click(QQuickItem *item)
{
    if (!item || !item->window()) {
        ADD_FAILURE() << "nothing to click";
        return;
    }
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre);
    settle(20);
}

void ViewFixture::settle(int ms)
{
    QTest::qWait(ms);
}

bool ViewFixture::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}
