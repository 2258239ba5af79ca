#pragma once

#include "backup/backupthread.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

/// A job's log as a list of lines for the log window. New lines arrive as one
/// insertion per batch the job publishes (never the whole log again), and a
/// list view only lays out the lines on screen, so a log of 100,000 lines
/// costs no more to show than a short one. Also keeps the selection (from
/// an anchor to a cursor, each a row and a column): each line's selected
/// columns are a role of its own, so a view only draws them, and the
/// selected text is copied from here.
class BackupLogModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(BackupThread *job READ job WRITE setJob NOTIFY jobChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    /// Length of the longest line, in characters (the view's width).
    Q_PROPERTY(int longestLine READ longestLine NOTIFY longestLineChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)

public:
    /// Selection roles: the selected columns of a line, from `selectionStart`
    /// up to `selectionEnd` (one past the line's end when the line break is
    /// selected too); equal when nothing of it is.
    enum Role { LineRole = Qt::UserRole + 1, SelectionStartRole, SelectionEndRole };

    explicit BackupLogModel(QObject *parent = nullptr);

    [[nodiscard]] BackupThread *job() const { return m_job; }
    void setJob(BackupThread *job);
    [[nodiscard]] int count() const { return int(m_lines.size()); }
    [[nodiscard]] int longestLine() const { return m_longestLine; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    /// The whole log: the lines joined with a line feed, none after the last.
    [[nodiscard]] Q_INVOKABLE QString text() const;
    /// Characters in line `row` (0 for a row that does not exist).
    [[nodiscard]] Q_INVOKABLE int lineLength(int row) const;
    /// The text from (`fromRow`, `fromColumn`) up to (`toRow`, `toColumn`),
    /// either way round; positions out of range are clamped.
    [[nodiscard]] Q_INVOKABLE QString textBetween(int fromRow, int fromColumn, int toRow, int toColumn) const;
    /// Puts `text` on the clipboard.
    Q_INVOKABLE static void copyToClipboard(const QString &text);

    // The selection. Positions out of range are clamped.
    [[nodiscard]] bool hasSelection() const;
    /// A press at (`row`, `column`): moves the cursor there, and the anchor
    /// too unless `extend` (Shift held) and there is one.
    Q_INVOKABLE void press(int row, int column, bool extend = false);
    /// A drag to (`row`, `column`): moves the cursor only.
    Q_INVOKABLE void dragTo(int row, int column);
    /// The whole line `row`.
    Q_INVOKABLE void selectLine(int row);
    Q_INVOKABLE void selectAll();
    [[nodiscard]] Q_INVOKABLE QString selectedText() const;
    /// Copies the selected text, if any.
    Q_INVOKABLE void copySelection() const;

signals:
    void jobChanged();
    void countChanged();
    void longestLineChanged();
    /// Just before a batch of lines is added, and just after.
    void linesAboutToArrive();
    void linesArrived();
    void selectionChanged();

private:
    struct Position
    {
        int row = -1; ///< -1: no selection
        int column = 0;
        friend auto operator<=>(const Position &, const Position &) = default;
    };

    [[nodiscard]] Position clamped(int row, int column) const;
    /// Moves anchor and cursor, and tells the rows whose selected part changed.
    void select(Position anchor, Position cursor);
    /// The selected columns of `row`, as the selection roles give them.
    [[nodiscard]] std::pair<int, int> selectedColumns(int row) const;
    void reload();
    void takeNewLines();
    void measure(qsizetype from);

    QPointer<BackupThread> m_job;
    QStringList m_lines;
    int m_longestLine = 0;
    Position m_anchor;
    Position m_cursor;
};
