#pragma once

#include "backup/backupthread.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

/// A job's log as a list of lines for the log window. New lines arrive as one
/// insertion per batch the job publishes (never the whole log again), and a
/// list view only lays out the lines on screen, so a log of 100,000 lines
/// costs no more to show than a short one. Also gives the text of a
/// selection, for copying.
class BackupLogModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(BackupThread *job READ job WRITE setJob NOTIFY jobChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    /// Length of the longest line, in characters (the view's width).
    Q_PROPERTY(int longestLine READ longestLine NOTIFY longestLineChanged)

public:
    enum Role { LineRole = Qt::UserRole + 1 };

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

signals:
    void jobChanged();
    void countChanged();
    void longestLineChanged();
    /// Just before a batch of lines is added, and just after.
    void linesAboutToArrive();
    void linesArrived();

private:
    void reload();
    void takeNewLines();
    void measure(qsizetype from);

    QPointer<BackupThread> m_job;
    QStringList m_lines;
    int m_longestLine = 0;
};
