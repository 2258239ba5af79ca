#include "backup/scriptstore.h"

#include "platform/buildinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

const QString kFileName = QStringLiteral("BackupScript.json");

} // namespace

ScriptStore::ScriptStore(QString dataDirectory, LineSink sink)
    : m_dataDirectory(std::move(dataDirectory))
    , m_sink(std::move(sink))
{
}

QString ScriptStore::defaultDataDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_DATA_HOME");
    // XDG base directories must be absolute; a relative value is ignored.
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment)) {
        return fromEnvironment;
    }
    return QDir::homePath() + QStringLiteral("/.local/share");
}

void ScriptStore::printLine(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

ScriptStore ScriptStore::atFile(const QString &filePath, LineSink sink)
{
    ScriptStore store(QString(), std::move(sink));
    store.m_filePath = QFileInfo(filePath).absoluteFilePath();
    return store;
}

QString ScriptStore::filePath() const
{
    const QString folder = m_filePath.isEmpty()
        ? m_dataDirectory + QLatin1Char('/') + platform::buildinfo::bundleIdentifier()
        : QFileInfo(m_filePath).path();
    std::error_code error;
    const std::filesystem::path native(QFile::encodeName(folder).toStdString());
    if (!std::filesystem::is_directory(native, error)) {
        std::filesystem::create_directories(native, error);
        if (error) {
            m_sink(QStringLiteral("scriptFileURL() Could not create the folder %1: %2")
                       .arg(folder, QString::fromLocal8Bit(error.message())));
        }
    }
    return m_filePath.isEmpty() ? folder + QLatin1Char('/') + kFileName : m_filePath;
}

QUrl ScriptStore::fileUrl() const
{
    return QUrl::fromLocalFile(filePath());
}

bool ScriptStore::save(const BackupScript &script) const
{
    const QString path = filePath();
    QSaveFile file(path);
    const QByteArray bytes = encodeBackupScript(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_sink(QStringLiteral("scriptSave() Could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

BackupScriptDecoding ScriptStore::read() const
{
    const QString path = filePath();
    BackupScriptDecoding result;
    QFile file(path);
    if (!file.exists()) {
        result.error = QStringLiteral("%1 does not exist").arg(path);
        return result;
    }
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Could not read %1: %2")
                           .arg(path, QFileInfo(path).isDir() ? QStringLiteral("it is a folder") : file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Could not read %1: %2").arg(path, file.errorString());
        return result;
    }
    result = decodeBackupScript(bytes);
    if (!result.script) {
        result.error = QStringLiteral("The backup set in %1 is not valid: %2").arg(path, result.error);
    }
    return result;
}

BackupScript ScriptStore::load() const
{
    BackupScriptDecoding stored = read();
    if (!stored.script) {
        m_sink(QStringLiteral("init() ") + stored.error);
        return BackupScript();
    }
    return *stored.script;
}
