#include "platform/autostartentry.h"

#include "platform/buildinfo.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace platform {

namespace {

QString configFolder()
{
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base-directory rules ignore a relative value.
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome)) {
        return configHome;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

// One Exec argument: quoted when it holds a character that would split or
// expand it; inside quotes ", `, $ and \ are escaped, and % is always
// doubled (field codes).
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped = argument;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool needsQuotes = argument.isEmpty()
        || std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes) {
        return escaped;
    }
    QString quoted;
    for (const QChar c : escaped) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    // The entry format then reads backslashes once more in a string value.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

AutostartEntry::AutostartEntry(const QString &appId)
    : AutostartEntry(appId, configFolder() + QStringLiteral("/autostart"))
{
}

AutostartEntry::AutostartEntry(const QString &appId, const QString &autostartFolder)
    : m_appId(appId)
    , m_folder(autostartFolder)
{
}

QString AutostartEntry::filePath() const
{
    return m_folder + QLatin1Char('/') + m_appId + QStringLiteral(".desktop");
}

bool AutostartEntry::isEnabled() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    while (!file.atEnd()) {
        if (file.readLine().trimmed() == "Hidden=true") {
            return false;
        }
    }
    return true;
}

QString AutostartEntry::execLine(const QString &program, const QStringList &arguments)
{
    QStringList parts{execArgument(program)};
    for (const QString &argument : arguments) {
        parts << execArgument(argument);
    }
    return parts.join(QLatin1Char(' '));
}

QString AutostartEntry::enable(const QString &program, const QStringList &arguments) const
{
    if (!QDir().mkpath(m_folder)) {
        return QStringLiteral("Could not create the folder %1").arg(m_folder);
    }
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Comment=Backs up to its volume when it is connected\n"
                                        "Icon=%2\n"
                                        "Exec=%3\n"
                                        "Terminal=false\n"
                                        "NoDisplay=true\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(buildinfo::applicationName(), m_appId, execLine(program, arguments));
    QSaveFile file(filePath());
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("Could not write %1: %2").arg(filePath(), file.errorString());
    }
    return QString();
}

QString AutostartEntry::disable() const
{
    QFile file(filePath());
    if (!file.exists() || file.remove()) {
        return QString();
    }
    return QStringLiteral("Could not remove %1: %2").arg(filePath(), file.errorString());
}

} // namespace platform
