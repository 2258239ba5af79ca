#pragma once

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <tuple>

// Reads an `strace -f` trace of a run and finds each copy named with no flush
// covering it: a syncfs or fsync that began after the copy was written and
// ended before the naming. A copy is named by the rename of its temporary
// (written once closed) or the link of its unnamed file (written at its last
// write, time or mode call). A call interrupted by another thread ends at its
// "resumed" line.
struct NamingCheck
{
    int named = 0;            // renames of temporaries and links of unnamed copies
    QStringList uncovered;    // their final names
    qsizetype lastNaming = -1; // the line of the last one
};

inline NamingCheck checkNamesAreCovered(const QStringList &lines)
{
    static const QRegularExpression call(QStringLiteral("^(\\d+) +(?:[0-9.]+ )?(\\w+)\\((.*)$"));
    static const QRegularExpression resumed(QStringLiteral("^(\\d+) +(?:[0-9.]+ )?<\\.\\.\\. (\\w+) resumed>.*= (-?\\d+)"));
    static const QRegularExpression temporary(QStringLiteral("\"(\\.vellory-partial-[0-9a-f]{16}\\.tmp)\""));
    static const QRegularExpression result(QStringLiteral("= (-?\\d+)"));
    static const QRegularExpression written(QStringLiteral("^(\\d+),"));
    static const QRegularExpression link(
        QStringLiteral("^(?:(\\d+), \"\"|AT_FDCWD, \"/proc/self/fd/(\\d+)\"), \\d+, \"([^\"]+)\""));
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
    QHash<QString, qsizetype> lastWrite;         // fd -> line of its last write, time or mode call
    QHash<QString, QString> writing;             // pid -> fd of its interrupted write
    QList<std::tuple<qsizetype, QString, QString>> renames; // line, temporary, name
    QList<std::tuple<qsizetype, QString, QString>> links;   // line, fd, name
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (const auto m = resumed.match(line); m.hasMatch()) {
            const QString pid = m.captured(1);
            if ((m.captured(2) == u"syncfs" || m.captured(2) == u"fsync") && openFlush.contains(pid)) {
                flushes[openFlush.take(pid)].end = i;
            } else if (writing.contains(pid)) {
                lastWrite[writing.take(pid)] = i; // written when the call ended
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
        } else if (name == u"sendfile" || name == u"write" || name == u"utimensat" || name == u"fchmod") {
            if (const auto w = written.match(args); w.hasMatch()) {
                lastWrite[w.captured(1)] = i;
                if (unfinished) {
                    writing[pid] = w.captured(1);
                }
            }
        } else if (name == u"linkat" && !args.contains(u"= -1")) {
            if (const auto l = link.match(args); l.hasMatch()) {
                links.append({i, l.captured(1).isEmpty() ? l.captured(2) : l.captured(1), l.captured(3)});
            }
        } else if (name.startsWith(u"rename")) {
            const auto t = temporary.match(args);
            const QStringList quoted = args.split(u'"');
            if (t.hasMatch() && quoted.size() >= 4) {
                renames.append({i, t.captured(1), quoted.at(3)});
            }
        }
    }
    NamingCheck check;
    auto verdict = [&](qsizetype at, qsizetype writtenAt, const QString &finalName) {
        ++check.named;
        check.lastNaming = std::max(check.lastNaming, at);
        const bool covered = writtenAt >= 0 && std::any_of(flushes.begin(), flushes.end(), [&](const Flush &flush) {
            return flush.begin > writtenAt && flush.end >= 0 && flush.end < at;
        });
        if (!covered) {
            check.uncovered << finalName;
        }
    };
    for (const auto &[at, temp, finalName] : renames) {
        verdict(at, closedAt.value(temp, -1), finalName);
    }
    for (const auto &[at, fd, finalName] : links) {
        verdict(at, lastWrite.value(fd, -1), finalName);
    }
    return check;
}
