#include "ui/windowrouter.h"

#include <QDebug>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>

WindowRouter::WindowRouter(QQmlEngine &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_sources.insert(QString::fromLatin1(kBackupsWindow), QUrl(QStringLiteral("qrc:/Vellory/BackupsWindow.qml")));
    m_sources.insert(QString::fromLatin1(kLogWindowGroup), QUrl(QStringLiteral("qrc:/Vellory/BackupLogWindow.qml")));
    m_sharedProperties.insert(QStringLiteral("router"), QVariant::fromValue(this));
}

WindowRouter::~WindowRouter()
{
    for (const auto &window : std::as_const(m_logWindows)) {
        delete window.data();
    }
    for (const auto &window : std::as_const(m_windows)) {
        delete window.data();
    }
}

void WindowRouter::setWindowSource(const QString &identifier, const QUrl &source)
{
    m_sources.insert(identifier, source);
}

void WindowRouter::setSharedProperty(const QString &name, const QVariant &value)
{
    m_sharedProperties.insert(name, value);
}

QQuickWindow *WindowRouter::openWindow(const QString &identifier)
{
    emit windowRequested(identifier, QString());
    QQuickWindow *window = m_windows.value(identifier);
    if (!window) {
        window = create(identifier, {});
        if (!window) {
            return nullptr;
        }
        m_windows.insert(identifier, window);
        emit windowCreated(identifier, QString(), window);
    }
    bringForward(window);
    return window;
}

QQuickWindow *WindowRouter::openLogWindow(const QString &jobId)
{
    const QString group = QString::fromLatin1(kLogWindowGroup);
    emit windowRequested(group, jobId);
    QQuickWindow *window = m_logWindows.value(jobId);
    if (!window) {
        window = create(group, {{QStringLiteral("jobId"), jobId}});
        if (!window) {
            return nullptr;
        }
        m_logWindows.insert(jobId, window);
        // Closed is gone: the next request builds the window and its lookup anew.
        connect(window, &QWindow::visibleChanged, this, [this, jobId, window](bool visible) {
            if (!visible && m_logWindows.value(jobId) == window) {
                m_logWindows.remove(jobId);
                window->deleteLater();
            }
        });
        emit windowCreated(group, jobId, window);
    }
    bringForward(window);
    return window;
}

QQuickWindow *WindowRouter::window(const QString &identifier) const
{
    return m_windows.value(identifier);
}

QQuickWindow *WindowRouter::logWindow(const QString &jobId) const
{
    return m_logWindows.value(jobId);
}

int WindowRouter::logWindowCount() const
{
    int count = 0;
    for (const auto &window : m_logWindows) {
        if (window) {
            ++count;
        }
    }
    return count;
}

QQuickWindow *WindowRouter::create(const QString &identifier, const QVariantMap &extraProperties)
{
    const QUrl source = m_sources.value(identifier);
    if (source.isEmpty()) {
        qWarning().noquote() << "No window is known as" << identifier;
        return nullptr;
    }
    QQmlComponent component(&m_engine, source, QQmlComponent::PreferSynchronous);
    if (component.isError()) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    QObject *object = component.beginCreate(m_engine.rootContext());
    if (!object) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    // Only what the window declares: one set of shared properties serves
    // windows that need different parts of it.
    QVariantMap properties;
    QVariantMap offered = m_sharedProperties;
    offered.insert(extraProperties);
    for (auto it = offered.cbegin(); it != offered.cend(); ++it) {
        if (object->metaObject()->indexOfProperty(it.key().toUtf8().constData()) >= 0) {
            properties.insert(it.key(), it.value());
        }
    }
    component.setInitialProperties(object, properties);
    component.completeCreate();
    if (component.isError()) {
        qWarning().noquote() << component.errorString();
        delete object;
        return nullptr;
    }
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        qWarning().noquote() << source.toString() << "is not a window";
        delete object;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    return window;
}

void WindowRouter::bringForward(QQuickWindow *window)
{
    if (window->windowStates() & Qt::WindowMinimized) {
        window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    }
    window->show();
    window->raise();
    window->requestActivate();
}
