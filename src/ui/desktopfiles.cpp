#include "ui/desktopfiles.h"

#include "platform/urlopener.h"
#include "ui/controllerimageprovider.h"
#include "ui/fileiconprovider.h"
#include "ui/themeiconprovider.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QFileInfo>

namespace {

/// `path` without trailing slashes (the root stays "/").
QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

} // namespace

DesktopFiles::DesktopFiles(QObject *parent)
    : QObject(parent)
{
}

QStringList DesktopFiles::localPaths(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile()) {
            paths.append(withoutTrailingSlashes(url.toLocalFile()));
        }
    }
    return paths;
}

void DesktopFiles::open(const QString &path) const
{
    if (m_urlOpener) {
        m_urlOpener->openUrl(QUrl::fromLocalFile(path));
    }
}

QString DesktopFiles::fileName(const QString &path)
{
    const QString clean = withoutTrailingSlashes(path);
    if (clean == QLatin1String("/")) {
        return clean;
    }
    return clean.mid(clean.lastIndexOf(QLatin1Char('/')) + 1);
}

QString DesktopFiles::parentPath(const QString &path)
{
    const QString clean = withoutTrailingSlashes(path);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || clean == QLatin1String("/")) {
        return QString();
    }
    return slash == 0 ? QStringLiteral("/") : clean.left(slash);
}

void DesktopFiles::revealInFileManager(const QString &path) const
{
    if (m_urlOpener) {
        m_urlOpener->revealInFileManager(path);
    }
}

DesktopFiles *DesktopFiles::forEngine(QQmlEngine &engine)
{
    // The module's types are registered when an engine first imports it.
    QQmlComponent importer(&engine);
    importer.setData("import QtQml\nimport Vellory\nQtObject {}\n", QUrl());
    return engine.singletonInstance<DesktopFiles *>(qmlTypeId("Vellory", 1, 0, "DesktopFiles"));
}

QString DesktopFiles::removableMediaFolder()
{
    return removableMediaFolder(qEnvironmentVariable("USER"),
                                [](const QString &folder) { return QFileInfo(folder).isDir(); });
}

QString DesktopFiles::removableMediaFolder(const QString &user, const std::function<bool(const QString &)> &isFolder)
{
    // A user name that could leave /media is no user name.
    if (!user.isEmpty() && !user.contains(QLatin1Char('/')) && user != QLatin1String(".")
        && user != QLatin1String("..")) {
        for (const QString &base : {QStringLiteral("/media/"), QStringLiteral("/run/media/")}) {
            if (isFolder(base + user)) {
                return base + user;
            }
        }
    }
    return QStringLiteral("/media");
}

QString DesktopFiles::fileIconSource(const QString &path, int size)
{
    return FileIconProvider::source(path, size);
}

QString DesktopFiles::themeIconSource(const QString &name, int size, const QColor &color)
{
    return ThemeIconProvider::source(name, size, color);
}

QString DesktopFiles::jobIconSource(const QString &jobId)
{
    return ControllerImageProvider::jobIconSource(jobId);
}
