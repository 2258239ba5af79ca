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
    m_anchor = Position();
    m_cursor = Position();
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
    if (role == SelectionStartRole) {
        return selectedColumns(index.row()).first;
    }
    if (role == SelectionEndRole) {
        return selectedColumns(index.row()).second;
    }
    return QVariant();
}

QHash<int, QByteArray> BackupLogModel::roleNames() const
{
    return {{LineRole, "line"}, {SelectionStartRole, "selectionStart"}, {SelectionEndRole, "selectionEnd"}};
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

bool BackupLogModel::hasSelection() const
{
    return m_anchor.row >= 0 && m_anchor != m_cursor;
}

BackupLogModel::Position BackupLogModel::clamped(int row, int column) const
{
    if (m_lines.isEmpty()) {
        return Position();
    }
    const int clampedRow = std::clamp(row, 0, count() - 1);
    return Position{clampedRow, std::clamp(column, 0, lineLength(clampedRow))};
}

void BackupLogModel::press(int row, int column, bool extend)
{
    const Position at = clamped(row, column);
    select(extend && m_anchor.row >= 0 ? m_anchor : at, at);
}

void BackupLogModel::dragTo(int row, int column)
{
    if (m_anchor.row >= 0) {
        select(m_anchor, clamped(row, column));
    }
}

void BackupLogModel::selectLine(int row)
{
    const Position start = clamped(row, 0);
    select(start, Position{start.row, lineLength(start.row)});
}

void BackupLogModel::selectAll()
{
    if (!m_lines.isEmpty()) {
        select(Position{0, 0}, Position{count() - 1, lineLength(count() - 1)});
    }
}

QString BackupLogModel::selectedText() const
{
    return hasSelection() ? textBetween(m_anchor.row, m_anchor.column, m_cursor.row, m_cursor.column) : QString();
}

void BackupLogModel::copySelection() const
{
    if (hasSelection()) {
        copyToClipboard(selectedText());
    }
}

std::pair<int, int> BackupLogModel::selectedColumns(int row) const
{
    if (!hasSelection()) {
        return {0, 0};
    }
    const auto [first, last] = std::minmax(m_anchor, m_cursor);
    if (row < first.row || row > last.row) {
        return {0, 0};
    }
    // A line selected up to its end takes its line break too.
    return {row == first.row ? first.column : 0, row == last.row ? last.column : lineLength(row) + 1};
}

void BackupLogModel::select(Position anchor, Position cursor)
{
    if (anchor == m_anchor && cursor == m_cursor) {
        return;
    }
    // The rows the old or the new selection touches.
    auto span = [](Position a, Position b) { return std::pair{std::min(a.row, b.row), std::max(a.row, b.row)}; };
    const auto [oldFirst, oldLast] = span(m_anchor, m_cursor);
    const auto [newFirst, newLast] = span(anchor, cursor);
    const bool had = m_anchor.row >= 0;
    m_anchor = anchor;
    m_cursor = cursor;
    const int first = had ? std::min(oldFirst, newFirst) : newFirst;
    const int last = had ? std::max(oldLast, newLast) : newLast;
    if (first >= 0) {
        emit dataChanged(index(first), index(last), {SelectionStartRole, SelectionEndRole});
    }
    emit selectionChanged();
}
