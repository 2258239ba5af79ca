#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>

class QQmlEngine;

namespace platform {
class UrlOpener;
}

/// What the views need from the desktop's files: dropped locations as paths,
/// an item's name and folder for display, revealing an item in the file
/// manager, the folder where removable volumes appear, and the URLs of the
/// themed icons. Holds only the opener the application hands it.
class DesktopFiles : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit DesktopFiles(QObject *parent = nullptr);

    /// The local paths of `urls`, in their order; other kinds of location
    /// are left out.
    Q_INVOKABLE static QStringList localPaths(const QList<QUrl> &urls);
    /// The last component of `path` ("Notes" for "/home/ann/Notes").
    Q_INVOKABLE static QString fileName(const QString &path);
    /// `path` without its last component ("/home/ann" for "/home/ann/Notes").
    Q_INVOKABLE static QString parentPath(const QString &path);
    /// Shows the item in the desktop's file manager (nothing before the
    /// application has handed this object its opener).
    Q_INVOKABLE void revealInFileManager(const QString &path) const;
    void setUrlOpener(platform::UrlOpener &opener) { m_urlOpener = &opener; }
    /// The instance the views of `engine` use.
    [[nodiscard]] static DesktopFiles *forEngine(QQmlEngine &engine);
    /// Opens the file or folder with the desktop's application for it.
    Q_INVOKABLE void open(const QString &path) const;

    /// Where the system mounts this user's removable volumes: /media/$USER
    /// or /run/media/$USER, whichever exists, else /media.
    Q_INVOKABLE static QString removableMediaFolder();
    [[nodiscard]] static QString removableMediaFolder(const QString &user,
                                                      const std::function<bool(const QString &)> &isFolder);

    Q_INVOKABLE static QString fileIconSource(const QString &path, int size);
    Q_INVOKABLE static QString themeIconSource(const QString &name, int size, const QColor &color = QColor());
    Q_INVOKABLE static QString jobIconSource(const QString &jobId);

private:
    platform::UrlOpener *m_urlOpener = nullptr;
};
