#include "viewtesting.h"

#include "objectsearch.h"

#include "platform/preferences.h"
#include "ui/icontheme.h"
#include "ui/imageproviders.h"

#include <QQmlComponent>
#include <QQuickStyle>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)

namespace {

// Once for the run, before any view or icon: software drawing, the
// application's style and icon theme.
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

ViewFixture::ViewFixture()
{
    platform::preferences()->remove(QStringLiteral("iconSize"));
}

ViewFixture::~ViewFixture()
{
    unload();
    router.reset();
    engine.reset();
    controller.reset();
    platform::preferences()->remove(QStringLiteral("iconSize"));
}

BackupController &ViewFixture::start()
{
    ControllerFixture::start();
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
    QObject *object = component.isError() ? nullptr : component.beginCreate(engine->rootContext());
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
    view = qobject_cast<QQuickItem *>(object);
    if (component.isError() || !view) {
        ADD_FAILURE() << "cannot show " << file.toStdString() << ": " << component.errorString().toStdString();
        delete object;
        view = nullptr;
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

QString ViewFixture::text(const QString &name, QObject *root) const
{
    QObject *object = find(name, root);
    return object ? object->property("text").toString() : QStringLiteral("<missing %1>").arg(name);
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
