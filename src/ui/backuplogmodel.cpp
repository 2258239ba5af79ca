#include "ui/backuplogmodel.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

BackupLogModel::BackupLogModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void BackupLogModel::setJob(BackupThread *job)
{
    if (m_job == job) {
        return;
    }
    if (m_job) {
        m_job->disconnect(this);
    }
    m_job = job;
    if (m_job) {
        // The job announces its log once per batch of lines it applies.
        connect(m_job, &BackupThread::logChanged, this, &BackupLogModel::takeNewLines);
    }
    reload();
    emit jobChanged();
}

void BackupLogModel::reload()
{
    beginResetModel();
    m_lines.clear();
    if (m_job) {
        m_lines.append(m_job->log()); // a copy of our own, see takeNewLines()
    }
    m_longestLine = 0;
    measure(0);
    endResetModel();
    emit countChanged();
    emit longestLineChanged();
}

void BackupLogModel::takeNewLines()
{
    if (!m_job) {
        return;
    }
    // Only the new tail is copied, and the job's list is let go at once, so
    // the job never has to copy its whole log to append the next line.
    const QStringList log = m_job->log();
    if (log.size() < m_lines.size()) {
        reload();
        return;
    }
    if (log.size() == m_lines.size()) {
        return;
    }
    emit linesAboutToArrive();
    const qsizetype first = m_lines.size();
    beginInsertRows(QModelIndex(), int(first), int(log.size() - 1));
    m_lines.append(log.mid(first));
    endInsertRows();
    const int longest = m_longestLine;
    measure(first);
    emit countChanged();
    if (longest != m_longestLine) {
        emit longestLineChanged();
    }
    emit linesArrived();
}

void BackupLogModel::measure(qsizetype from)
{
    for (qsizetype row = from; row < m_lines.size(); ++row) {
        m_longestLine = std::max(m_longestLine, int(m_lines.at(row).size()));
    }
}

int BackupLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant BackupLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count()) {
        return QVariant();
    }
    if (role == LineRole || role == Qt::DisplayRole) {
        return m_lines.at(index.row());
    }
    return QVariant();
}

QHash<int, QByteArray> BackupLogModel::roleNames() const
{
    return {{LineRole, "line"}};
}

QString BackupLogModel::text() const
{
    return m_lines.join(QLatin1Char('\n'));
}

int BackupLogModel::lineLength(int row) const
{
    return row >= 0 && row < count() ? int(m_lines.at(row).size()) : 0;
}

QString BackupLogModel::textBetween(int fromRow, int fromColumn, int toRow, int toColumn) const
{
    if (m_lines.isEmpty()) {
        return QString();
    }
    if (std::pair(toRow, toColumn) < std::pair(fromRow, fromColumn)) {
        std::swap(fromRow, toRow);
        std::swap(fromColumn, toColumn);
    }
    const int last = count() - 1;
    fromRow = std::clamp(fromRow, 0, last);
    toRow = std::clamp(toRow, 0, last);
    fromColumn = std::clamp(fromColumn, 0, lineLength(fromRow));
    toColumn = std::clamp(toColumn, 0, lineLength(toRow));
    if (fromRow == toRow) {
        return m_lines.at(fromRow).mid(fromColumn, toColumn - fromColumn);
    }
    QStringList parts{m_lines.at(fromRow).mid(fromColumn)};
    for (int row = fromRow + 1; row < toRow; ++row) {
        parts.append(m_lines.at(row));
    }
    parts.append(m_lines.at(toRow).left(toColumn));
    return parts.join(QLatin1Char('\n'));
}

void BackupLogModel::copyToClipboard(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text);
    }
}
