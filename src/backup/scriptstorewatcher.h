#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

/// Tells when the store file may have been written by another program
/// (vellory-cli). The file is replaced whole on every save (a new file
/// renamed over the old one), which ends a watch on the file itself, so its
/// folder is watched as well and the file is watched again after each
/// change. Bursts of changes are told once.
class ScriptStoreWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ScriptStoreWatcher(const QString &filePath, QObject *parent = nullptr);

signals:
    /// The file (or its folder) changed; read it again.
    void changed();

private:
    void rewatch();

    QString m_filePath;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
