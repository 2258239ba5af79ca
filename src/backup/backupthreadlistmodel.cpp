#include "backup/backupthreadlistmodel.h"

BackupThreadListModel::BackupThreadListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void BackupThreadListModel::setOwnershipKeeper(std::function<void(QObject *)> keeper)
{
    m_ownershipKeeper = std::move(keeper);
    for (const auto &job : std::as_const(m_jobs)) {
        keepOwnership(job.get());
    }
    if (m_placeholder) {
        keepOwnership(m_placeholder.get());
    }
}

void BackupThreadListModel::keepOwnership(BackupThread *job) const
{
    if (m_ownershipKeeper) {
        m_ownershipKeeper(job);
    }
}

BackupThreadListModel::~BackupThreadListModel()
{
    for (const auto &job : std::as_const(m_jobs)) {
        job->disconnect(this);
    }
}

int BackupThreadListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant BackupThreadListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) {
        return QVariant();
    }
    BackupThread *job = m_jobs.at(index.row()).get();
    switch (role) {
    case JobRole: return QVariant::fromValue(job);
    case IdRole:
    case Qt::DisplayRole: return job->id();
    case TitleRole: return job->progressTitle();
    case MessageRole: return job->progressMessage();
    case ProgressRole: return job->progressValue();
    case StatusRole: return QVariant::fromValue(job->status());
    case IsRunningRole: return job->isRunning();
    default: return QVariant();
    }
}

QHash<int, QByteArray> BackupThreadListModel::roleNames() const
{
    return {
        {JobRole, "job"},
        {IdRole, "jobId"},
        {TitleRole, "title"},
        {MessageRole, "message"},
        {ProgressRole, "progress"},
        {StatusRole, "status"},
        {IsRunningRole, "isRunning"},
    };
}

std::shared_ptr<BackupThread> BackupThreadListModel::jobAt(int row) const
{
    if (row < 0 || row >= count()) {
        return nullptr;
    }
    return m_jobs.at(row);
}

std::shared_ptr<BackupThread> BackupThreadListModel::findJob(const QString &id) const
{
    for (const auto &job : m_jobs) {
        if (job->id() == id) {
            return job;
        }
    }
    return nullptr;
}

void BackupThreadListModel::prepend(std::shared_ptr<BackupThread> job)
{
    if (!job) {
        return;
    }
    keepOwnership(job.get());
    beginInsertRows(QModelIndex(), 0, 0);
    m_jobs.prepend(job);
    endInsertRows();
    follow(job.get());
    emit countChanged();
    emit jobAdded(job.get());
}

BackupThread *BackupThreadListModel::jobById(const QString &id) const
{
    return findJob(id).get();
}

BackupThread *BackupThreadListModel::jobOrPlaceholder(const QString &id)
{
    if (BackupThread *job = jobById(id)) {
        return job;
    }
    if (!m_placeholder) {
        m_placeholder = BackupThread::createPlaceholder();
        keepOwnership(m_placeholder.get());
    }
    return m_placeholder.get();
}

BackupThread *BackupThreadListModel::holdJob(const QString &id, QObject *holder)
{
    std::shared_ptr<BackupThread> job = findJob(id);
    if (!job || !holder) {
        return jobOrPlaceholder(id);
    }
    // The connection's functor owns a reference; it goes with the holder.
    connect(holder, &QObject::destroyed, job.get(), [job] {});
    return job.get();
}

void BackupThreadListModel::removeJob(const QString &id)
{
    bool removed = false;
    for (int row = count() - 1; row >= 0; --row) {
        if (m_jobs.at(row)->id() != id) {
            continue;
        }
        beginRemoveRows(QModelIndex(), row, row);
        std::shared_ptr<BackupThread> job = m_jobs.takeAt(row);
        endRemoveRows();
        job->disconnect(this);
        removed = true;
    }
    if (removed) {
        emit countChanged();
    }
}

void BackupThreadListModel::follow(BackupThread *job)
{
    connect(job, &BackupThread::progressTitleChanged, this, [this, job] { rowChanged(job, {TitleRole}); });
    connect(job, &BackupThread::progressMessageChanged, this, [this, job] { rowChanged(job, {MessageRole}); });
    connect(job, &BackupThread::progressValueChanged, this, [this, job] { rowChanged(job, {ProgressRole}); });
    connect(job, &BackupThread::statusChanged, this,
            [this, job] { rowChanged(job, {StatusRole, IsRunningRole}); });
}

void BackupThreadListModel::rowChanged(BackupThread *job, const QList<int> &roles)
{
    for (int row = 0; row < count(); ++row) {
        if (m_jobs.at(row).get() == job) {
            const QModelIndex changed = index(row);
            emit dataChanged(changed, changed, roles);
        }
    }
}
