#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

/// Looks at the backups on a mounted volume without changing anything and
/// without following any link there: which computers have a folder under
/// "/Vellory/", and what a backed-up folder holds.
class BackupBrowser
{
public:
    /// One item of a backed-up folder.
    struct Item
    {
        QString name;
        QString path; ///< its original absolute path
        bool isFolder = false;
        bool isLink = false;
        qint64 size = 0;
        QDateTime modified;
    };

    explicit BackupBrowser(QString volumePath);

    /// The computers' folder names, sorted; empty when there are none.
    [[nodiscard]] QStringList computers() const;
    /// The items of the original folder `folderPath` in `computer`'s
    /// folder, folders first, then by name; `error` says why none could be
    /// read.
    [[nodiscard]] QList<Item> items(const QString &computer, const QString &folderPath, QString *error = nullptr) const;
    /// Whether `path` (an original absolute path) is in `computer`'s folder.
    [[nodiscard]] bool contains(const QString &computer, const QString &path) const;

private:
    QString m_volumePath;
};
