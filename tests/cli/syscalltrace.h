#pragma once

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <tuple>

// Reads an `strace -f` trace of a run and finds each rename of a temporary
// copy onto its name that no flush covers: a flush (syncfs or fsync) that
// began after the copy's descriptor was closed and ended before the rename.
// A line's place in the trace is when its call began; a call that another
// thread interrupts ends at its "resumed" line.
struct RenameCheck
{
    int renames = 0;          // renames of temporaries onto names
    QStringList uncovered;    // their final names
};

inline RenameCheck checkRenamesAreCovered(const QStringList &lines)
{
    static const QRegularExpression call(QStringLiteral("^(\\d+) +(?:[0-9.]+ )?(\\w+)\\((.*)$"));
    static const QRegularExpression resumed(QStringLiteral("^(\\d+) +(?:[0-9.]+ )?<\\.\\.\\. (\\w+) resumed>.*= (-?\\d+)"));
    static const QRegularExpression temporary(QStringLiteral("\"(\\.vellory-partial-[0-9a-f]{16}\\.tmp)\""));
    static const QRegularExpression result(QStringLiteral("= (-?\\d+)"));
    struct Flush
    {
        qsizetype begin;
        qsizetype end;
    };
    QList<Flush> flushes;
    QHash<QString, qsizetype> openFlush;         // pid -> index in flushes
    QHash<QString, QString> openingTemporary;    // pid -> temporary whose openat was interrupted
    QHash<QString, QPair<QString, QString>> fds; // temporary -> (pid, fd)
    QHash<QString, qsizetype> closedAt;          // temporary -> line
    QList<std::tuple<qsizetype, QString, QString>> renames; // line, temporary, name
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (const auto m = resumed.match(line); m.hasMatch()) {
            const QString pid = m.captured(1);
            if ((m.captured(2) == u"syncfs" || m.captured(2) == u"fsync") && openFlush.contains(pid)) {
                flushes[openFlush.take(pid)].end = i;
            } else if (m.captured(2) == u"openat" && openingTemporary.contains(pid)) {
                fds[openingTemporary.take(pid)] = {pid, m.captured(3)};
            }
            continue;
        }
        const auto m = call.match(line);
        if (!m.hasMatch()) {
            continue;
        }
        const QString pid = m.captured(1);
        const QString name = m.captured(2);
        const QString args = m.captured(3);
        const bool unfinished = args.contains(u"<unfinished ...>");
        if (name == u"syncfs" || name == u"fsync") {
            flushes.append({i, unfinished ? qsizetype(-1) : i});
            if (unfinished) {
                openFlush[pid] = flushes.size() - 1;
            }
        } else if (name == u"openat" && args.contains(u"O_CREAT")) {
            if (const auto t = temporary.match(args); t.hasMatch()) {
                if (unfinished) {
                    openingTemporary[pid] = t.captured(1);
                } else {
                    fds[t.captured(1)] = {pid, result.match(args).captured(1)};
                }
            }
        } else if (name == u"close") {
            const QString fd = args.section(u')', 0, 0).section(u' ', 0, 0);
            for (auto it = fds.begin(); it != fds.end(); ++it) {
                if (it.value() == QPair<QString, QString>(pid, fd) && !closedAt.contains(it.key())) {
                    closedAt[it.key()] = i;
                    break;
                }
            }
        } else if (name.startsWith(u"rename")) {
            const auto t = temporary.match(args);
            const QStringList quoted = args.split(u'"');
            if (t.hasMatch() && quoted.size() >= 4) {
                renames.append({i, t.captured(1), quoted.at(3)});
            }
        }
    }
    RenameCheck check;
    for (const auto &[at, temp, finalName] : renames) {
        ++check.renames;
        const qsizetype written = closedAt.value(temp, -1);
        const bool covered = written >= 0 && std::any_of(flushes.begin(), flushes.end(), [&](const Flush &flush) {
            return flush.begin > written && flush.end >= 0 && flush.end < at;
        });
        if (!covered) {
            check.uncovered << finalName;
        }
    }
    return check;
}
