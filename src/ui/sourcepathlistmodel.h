#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include "backup/backupcontroller.h"

/// The backup set's sources as a list model for the source grid. When the
/// controller's list changes, the model reports the rows that were removed
/// and inserted (not a reset), so the grid animates a removal and keeps the
/// cells that stayed.
class SourcePathListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(BackupController *controller READ controller WRITE setController NOTIFY controllerChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { PathRole = Qt::UserRole + 1 };

    explicit SourcePathListModel(QObject *parent = nullptr);

    [[nodiscard]] BackupController *controller() const { return m_controller; }
    void setController(BackupController *controller);

    [[nodiscard]] int count() const { return int(m_paths.size()); }
    [[nodiscard]] QStringList paths() const { return m_paths; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    /// Brings the rows to `paths` by removals and insertions found in one
    /// walk over both lists (linear in their length); additions, removals
    /// and a moved entry take as few changes as possible.
    void setPaths(const QStringList &paths);

signals:
    void controllerChanged();
    void countChanged();

private:
    void follow();

    QPointer<BackupController> m_controller;
    QStringList m_paths;
};
