#include "apptesting.h"

#include "updatetestsupport.h"
#include "ui/icontheme.h"

#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickStyle>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)
Q_IMPORT_QML_PLUGIN(Vellory_AppPlugin)
Q_IMPORT_QML_PLUGIN(MorainePlugin)
Q_IMPORT_QML_PLUGIN(Moraine_UpdatePlugin)

namespace {

// Stands in for the update service without any network: records the kind
// of check asked for, and completes at once.
class RecordingCheck : public moraine::NIMBLite
{
public:
    RecordingCheck(const moraine::UpdateServices &services, QStringList &kinds)
        : NIMBLite(services, facts())
        , m_kinds(kinds)
    {
    }
    void performManualCheck() override { m_kinds.append(QStringLiteral("manual")); finishCheck(); }
    void performSilentCheck() override { m_kinds.append(QStringLiteral("silent")); finishCheck(); }

private:
    QStringList &m_kinds;
};

} // namespace

AppFixture::AppFixture()
{
    // Once for the run, before any window.
    [[maybe_unused]] static const bool prepared = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        useIconThemeFallback();
        return true;
    }();
    clearUpdatePreferences();
}

AppFixture::~AppFixture()
{
    app.reset();
    clearUpdatePreferences();
}

VelloryApp &AppFixture::start()
{
    BackupControllerServices services;
    services.store = store();
    services.volumeTable = &table;
    services.volumeMonitor = &monitor;
    services.volumeEjector = &ejector;
    services.outputLine = [](const QString &) {};
    services.clock = [this] { return now; };
    services.settings = settings;
    app = std::make_unique<VelloryApp>(std::move(services), browser, alerts);
    app->updateChecks().setFactory([this] {
        checks.append(new RecordingCheck(app->updateServices(), checkKinds));
        return checks.last().data();
    });
    return *app;
}

QQuickWindow *AppFixture::launch()
{
    start();
    EXPECT_TRUE(app->launch());
    QQuickWindow *window = mainWindow();
    EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
    return window;
}

QQuickWindow *AppFixture::mainWindow() const
{
    return app ? app->router().window(QString::fromLatin1(VelloryApp::kMainWindow)) : nullptr;
}

QString AppFixture::text(QObject *root, const QString &name)
{
    QObject *object = find(root, name);
    return object ? object->property("text").toString() : QStringLiteral("<missing %1>").arg(name);
}

bool AppFixture::flag(QObject *root, const QString &name, const char *property)
{
    QObject *object = find(root, name);
    return object && object->property(property).toBool();
}

void AppFixture::trigger(QObject *root, const QString &name)
{
    QObject *item = find(root, name);
    ASSERT_TRUE(item) << name.toStdString();
    QMetaObject::invokeMethod(item, "triggered");
}

void AppFixture::click(QQuickItem *item)
{
    ASSERT_TRUE(item && item->window());
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::qWait(20);
}

QVariant AppFixture::evaluate(QObject *object, const QString &expression)
{
    return object ? QQmlExpression(qmlContext(object), object, expression).evaluate() : QVariant();
}
