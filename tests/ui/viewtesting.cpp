#include "viewtesting.h"

#include "objectsearch.h"

#include "ui/icontheme.h"
#include "ui/imageproviders.h"

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

ViewFixture::~ViewFixture()
{
    router.reset();
    engine.reset();
    controller.reset();
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

QQuickItem *ViewFixture::item(const QString &name, QObject *root)
{
    return qobject_cast<QQuickItem *>(findObjectNamed(root, name));
}

QString ViewFixture::text(const QString &name, QObject *root)
{
    QObject *object = findObjectNamed(root, name);
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
