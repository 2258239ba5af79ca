#include "backup/scriptstorewatcher.h"

#include <QFileInfo>

ScriptStoreWatcher::ScriptStoreWatcher(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(50);
    connect(&m_settle, &QTimer::timeout, this, &ScriptStoreWatcher::changed);
    auto onChange = [this] {
        rewatch();
        m_settle.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, onChange);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, onChange);
    m_watcher.addPath(QFileInfo(filePath).absolutePath());
    rewatch();
}

void ScriptStoreWatcher::rewatch()
{
    if (!m_watcher.files().contains(m_filePath) && QFileInfo::exists(m_filePath)) {
        m_watcher.addPath(m_filePath);
    }
}
