#pragma once

#include "backup/backupthread.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

/// The backup jobs of this run of the program, newest first, one row per job,
/// keyed by the job's id: what the Backups window lists and where a log
/// window finds its job. Rows follow their job's changes.
///
/// A job taken out of the list (its row closed) lives on only while a view
/// holds it (holdJob()) or its run goes on; then it is deleted.
class BackupThreadListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        JobRole = Qt::UserRole + 1, ///< the BackupThread itself
        IdRole,
        TitleRole,
        MessageRole,
        ProgressRole,
        StatusRole,
        IsRunningRole,
    };
    Q_ENUM(Role)

    explicit BackupThreadListModel(QObject *parent = nullptr);
    ~BackupThreadListModel() override;

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] int count() const { return int(m_jobs.size()); }
    /// The jobs, newest first.
    [[nodiscard]] const QList<std::shared_ptr<BackupThread>> &jobs() const { return m_jobs; }
    [[nodiscard]] std::shared_ptr<BackupThread> jobAt(int row) const;
    /// The first listed job with `id`, or none.
    [[nodiscard]] std::shared_ptr<BackupThread> findJob(const QString &id) const;

    /// Called with every job before a view can get it (also with those
    /// listed already): the views make sure QML never takes a job over and
    /// deletes it, as the list owns its jobs through shared pointers.
    void setOwnershipKeeper(std::function<void(QObject *)> keeper);

    /// Puts `job` at the top of the list.
    void prepend(std::shared_ptr<BackupThread> job);

    /// The first listed job with `id`, or null (for views).
    Q_INVOKABLE BackupThread *jobById(const QString &id) const;
    /// The first listed job with `id`, or the placeholder job (one, made on
    /// first use) when there is none: what a log window shows.
    Q_INVOKABLE BackupThread *jobOrPlaceholder(const QString &id);
    /// jobOrPlaceholder(), and the job is kept alive until `holder` is
    /// destroyed, even after its row is closed: what a log window shows.
    Q_INVOKABLE BackupThread *holdJob(const QString &id, QObject *holder);
    /// Removes every job with `id` from the list, keeping the order of the
    /// rest; a run still finishing is not stopped. The " Close " button.
    Q_INVOKABLE void removeJob(const QString &id);

signals:
    void countChanged();
    /// A job was put at the top of the list.
    void jobAdded(BackupThread *job);

private:
    void keepOwnership(BackupThread *job) const;
    void follow(BackupThread *job);
    void rowChanged(BackupThread *job, const QList<int> &roles);

    QList<std::shared_ptr<BackupThread>> m_jobs;
    std::shared_ptr<BackupThread> m_placeholder;
    std::function<void(QObject *)> m_ownershipKeeper;
};
