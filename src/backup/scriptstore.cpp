#include "backup/scriptstore.h"

#include "platform/buildinfo.h"

#include <QDateTime>
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
    return readStored().decoding;
}

ScriptStore::Stored ScriptStore::readStored() const
{
    const QString path = filePath();
    Stored stored;
    BackupScriptDecoding &result = stored.decoding;
    QFile file(path);
    if (!file.exists()) {
        result.error = QStringLiteral("%1 does not exist").arg(path);
        return stored;
    }
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Could not read %1: %2")
                           .arg(path, QFileInfo(path).isDir() ? QStringLiteral("it is a folder") : file.errorString());
        return stored;
    }
    stored.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Could not read %1: %2").arg(path, file.errorString());
        return stored;
    }
    result = decodeBackupScript(stored.bytes);
    if (!result.script) {
        result.error = QStringLiteral("The backup set in %1 is not valid: %2").arg(path, result.error);
    }
    return stored;
}

BackupScript ScriptStore::load() const
{
    const Stored stored = readStored();
    if (!stored.decoding.script) {
        QString line = QStringLiteral("init() ") + stored.decoding.error;
        // The next save replaces the file: what the person built must not
        // go with it.
        if (!stored.bytes.isEmpty()) {
            const QString kept = keepDamaged(stored.bytes);
            line += kept.isEmpty() ? QStringLiteral("; its content could not be kept aside")
                                   : QStringLiteral("; its content is kept in ") + kept;
        }
        m_sink(line);
        return BackupScript();
    }
    return *stored.decoding.script;
}

QString ScriptStore::keepDamaged(const QByteArray &bytes) const
{
    const QFileInfo store(filePath());
    const QString prefix = store.fileName() + QStringLiteral(".damaged-");
    QDir folder = store.dir();
    // Once: the same bytes kept at an earlier start are not kept again.
    for (const QFileInfo &earlier : folder.entryInfoList({prefix + QLatin1Char('*')}, QDir::Files)) {
        QFile file(earlier.filePath());
        if (earlier.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes) {
            return earlier.filePath();
        }
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = folder.filePath(prefix + stamp);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = folder.filePath(prefix + stamp + QLatin1Char('-') + QString::number(n));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QString();
    }
    return path;
}
