#include "ui/sourcepathlistmodel.h"

#include "backup/backupcontroller.h"

#include <QHash>

#include <vector>

namespace {

/// For each entry of `from`, whether it is kept in a longest common
/// subsequence with `to`; likewise for `to`.
struct Kept
{
    std::vector<bool> inOld;
    std::vector<bool> inNew;
};

Kept keptEntries(const QStringList &from, const QStringList &to)
{
    const std::size_t n = std::size_t(from.size());
    const std::size_t m = std::size_t(to.size());
    // Where each entry stands in the other list (its last place there).
    QHash<QString, std::size_t> inNew;
    inNew.reserve(qsizetype(m));
    for (std::size_t j = 0; j < m; ++j) {
        inNew.insert(to.at(qsizetype(j)), j);
    }
    QHash<QString, std::size_t> inOld;
    inOld.reserve(qsizetype(n));
    for (std::size_t i = 0; i < n; ++i) {
        inOld.insert(from.at(qsizetype(i)), i);
    }
    // One walk over both lists: equal entries are kept; of two that differ,
    // the one that is gone from the other list (or lies further away in it)
    // is the one removed or inserted. Linear, and as few changes as the
    // longest common subsequence for additions, removals and one moved entry.
    Kept kept{std::vector<bool>(n, false), std::vector<bool>(m, false)};
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n && j < m) {
        const QString &old = from.at(qsizetype(i));
        const QString &fresh = to.at(qsizetype(j));
        if (old == fresh) {
            kept.inOld[i++] = true;
            kept.inNew[j++] = true;
            continue;
        }
        const auto oldAhead = inNew.constFind(old);
        const auto freshAhead = inOld.constFind(fresh);
        const bool oldGone = oldAhead == inNew.constEnd() || *oldAhead < j;
        const bool freshNew = freshAhead == inOld.constEnd() || *freshAhead < i;
        if (oldGone) {
            ++i;
        } else if (freshNew) {
            ++j;
        } else if (*oldAhead - j > *freshAhead - i) {
            ++i;
        } else {
            ++j;
        }
    }
    return kept;
}

} // namespace

SourcePathListModel::SourcePathListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void SourcePathListModel::setController(BackupController *controller)
{
    if (m_controller == controller) {
        return;
    }
    if (m_controller) {
        m_controller->disconnect(this);
    }
    m_controller = controller;
    follow();
    emit controllerChanged();
}

void SourcePathListModel::follow()
{
    if (!m_controller) {
        setPaths({});
        return;
    }
    connect(m_controller, &BackupController::scriptChanged, this,
            [this] { setPaths(m_controller->sourcePaths()); });
    setPaths(m_controller->sourcePaths());
}

int SourcePathListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant SourcePathListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count()) {
        return QVariant();
    }
    if (role == PathRole || role == Qt::DisplayRole) {
        return m_paths.at(index.row());
    }
    return QVariant();
}

QHash<int, QByteArray> SourcePathListModel::roleNames() const
{
    return {{PathRole, "path"}};
}

void SourcePathListModel::setPaths(const QStringList &paths)
{
    if (paths == m_paths) {
        return;
    }
    const int before = count();
    const Kept kept = keptEntries(m_paths, paths);

    // Removals from the back, so the rows still to be looked at keep their
    // numbers; then insertions from the front, each at its final row.
    for (qsizetype row = m_paths.size(); row-- > 0;) {
        if (kept.inOld[std::size_t(row)]) {
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !kept.inOld[std::size_t(first - 1)]) {
            --first;
        }
        beginRemoveRows(QModelIndex(), int(first), int(row));
        m_paths.remove(first, row - first + 1);
        endRemoveRows();
        row = first;
    }
    for (qsizetype row = 0; row < paths.size(); ++row) {
        if (kept.inNew[std::size_t(row)]) {
            continue;
        }
        qsizetype last = row;
        while (last + 1 < paths.size() && !kept.inNew[std::size_t(last + 1)]) {
            ++last;
        }
        beginInsertRows(QModelIndex(), int(row), int(last));
        for (qsizetype k = row; k <= last; ++k) {
            m_paths.insert(k, paths.at(k));
        }
        endInsertRows();
        row = last;
    }
    Q_ASSERT(m_paths == paths);
    if (count() != before) {
        emit countChanged();
    }
}
