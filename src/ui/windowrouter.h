#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <QQmlEngine>
#include <QQuickWindow>

/// Opens the application's windows by identifier and keeps at most one of
/// each: the single windows ("mainWindow", "backups", "settings", ...) are
/// brought forward when asked for again, and the "Backup Log" windows are
/// one per job id. Every window is made from its QML file with the shared
/// properties its root declares (the controller, this router, ...), and a
/// log window also gets `jobId`.
///
/// A single window closed by the person is kept and shown again; a closed
/// log window is dropped, so asking again builds it afresh (and finds its
/// job anew).
class WindowRouter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application makes the window router.")

public:
    static constexpr const char *kBackupsWindow = "backups";
    static constexpr const char *kLogWindowGroup = "Backup Log";

    /// Knows "backups" and the "Backup Log" group of the Vellory module;
    /// other windows are added with setWindowSource().
    explicit WindowRouter(QQmlEngine &engine, QObject *parent = nullptr);
    ~WindowRouter() override;

    /// The QML file of the window `identifier` (or of the log group).
    void setWindowSource(const QString &identifier, const QUrl &source);
    /// Properties given to every window whose root object declares them.
    void setSharedProperty(const QString &name, const QVariant &value);

    /// Shows the single window `identifier`, making it on first use, and
    /// brings it forward. Null when it cannot be made.
    Q_INVOKABLE QQuickWindow *openWindow(const QString &identifier);
    /// Shows the log window of the job `jobId` (one per id).
    Q_INVOKABLE QQuickWindow *openLogWindow(const QString &jobId);

    /// The single window `identifier` if it was made; null otherwise.
    [[nodiscard]] Q_INVOKABLE QQuickWindow *window(const QString &identifier) const;
    /// The open log window of `jobId`; null when none.
    [[nodiscard]] Q_INVOKABLE QQuickWindow *logWindow(const QString &jobId) const;
    /// How many log windows are open.
    [[nodiscard]] int logWindowCount() const;

signals:
    /// Every request, before it is served: the identifier and, for a log
    /// window, the job id.
    void windowRequested(const QString &identifier, const QString &value);
    /// A window was made (not when an existing one was brought forward).
    void windowCreated(const QString &identifier, const QString &value, QQuickWindow *window);

private:
    QQuickWindow *create(const QString &identifier, const QVariantMap &extraProperties);
    static void bringForward(QQuickWindow *window);

    QQmlEngine &m_engine;
    QHash<QString, QUrl> m_sources;
    QVariantMap m_sharedProperties;
    QHash<QString, QPointer<QQuickWindow>> m_windows;
    QHash<QString, QPointer<QQuickWindow>> m_logWindows;
};
