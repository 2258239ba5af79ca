#include "platform/computername.h"

#include <QFile>

#include <climits>
#include <unistd.h>

namespace platform {

namespace {

// Undoes shell quoting of one value: 'single', "double" with backslash
// escapes, or bare words with backslash escapes.
QByteArray unquoteShellValue(const QByteArray &raw)
{
    QByteArray out;
    char quote = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                out.append(c);
            }
        } else if (c == '\\' && i + 1 < raw.size()) {
            out.append(raw.at(++i));
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else {
                out.append(c);
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '#' && (i == 0 || raw.at(i - 1) == ' ')) {
            break;
        } else {
            out.append(c);
        }
    }
    return out.trimmed();
}

} // namespace

QString prettyHostnameFromMachineInfo(const QByteArray &content)
{
    QString result;
    for (const QByteArray &rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('#') || !line.startsWith("PRETTY_HOSTNAME=")) {
            continue;
        }
        // A later assignment wins, as when the file is sourced.
        result = QString::fromUtf8(unquoteShellValue(line.mid(int(sizeof("PRETTY_HOSTNAME=")) - 1)));
    }
    return result;
}

QString folderSafeComputerName(const QString &name)
{
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char('-'));
    safe.remove(QChar(0));
    safe = safe.trimmed();
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String("..")) {
        return QStringLiteral("localhost");
    }
    return safe;
}

QString computerName()
{
    QFile info(QStringLiteral("/etc/machine-info"));
    if (info.open(QIODevice::ReadOnly)) {
        const QString pretty = prettyHostnameFromMachineInfo(info.read(64 * 1024));
        if (!pretty.isEmpty()) {
            return folderSafeComputerName(pretty);
        }
    }
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        return folderSafeComputerName(QString::fromLocal8Bit(host));
    }
    return folderSafeComputerName(QString());
}

} // namespace platform
