#pragma once

#include "backup/backupscript.h"

#include <QString>
#include <QUrl>

#include <functional>

/// Where the backup set is kept: "BackupScript.json" in a folder named after
/// the program's bundle identifier in the user's data folder
/// ($XDG_DATA_HOME, else ~/.local/share). Trouble is reported as one line on
/// standard output: the operation, a blank, and what went wrong.
class ScriptStore
{
public:
    using LineSink = std::function<void(const QString &line)>;

    /// `dataDirectory` is the user's data folder; `sink` receives the
    /// trouble lines (standard output by default).
    explicit ScriptStore(QString dataDirectory = defaultDataDirectory(), LineSink sink = printLine);

    /// A store kept in the file `filePath` itself rather than in the data
    /// folder (vellory-cli's "--set FILE").
    [[nodiscard]] static ScriptStore atFile(const QString &filePath, LineSink sink = printLine);

    [[nodiscard]] static QString defaultDataDirectory();
    static void printLine(const QString &line);

    /// The store file's location; creates its folder when missing
    /// ("scriptFileURL() ..." when that fails, and the location all the same).
    [[nodiscard]] QUrl fileUrl() const;
    /// fileUrl() as a local path.
    [[nodiscard]] QString filePath() const;

    /// Replaces the file's content with `script` atomically; on failure
    /// "scriptSave() ..." and false.
    bool save(const BackupScript &script) const;

    /// The stored set, or a new one when there is none or it cannot be read
    /// ("init() ..." then). A file that is there but cannot be decoded is
    /// first copied beside itself as "BackupScript.json.damaged-" + date and
    /// time (once for the same bytes), which the "init()" line names: the
    /// next save replaces it. Writes nothing else.
    [[nodiscard]] BackupScript load() const;

    /// The stored set or why it cannot be had, without any output.
    [[nodiscard]] BackupScriptDecoding read() const;

private:
    struct Stored
    {
        BackupScriptDecoding decoding;
        QByteArray bytes; // what the file held, when it could be read
    };
    [[nodiscard]] Stored readStored() const;
    /// Copies `bytes` beside the store file; the copy's path, or empty.
    [[nodiscard]] QString keepDamaged(const QByteArray &bytes) const;

    QString m_dataDirectory;
    QString m_filePath; ///< when set, the store file itself
    LineSink m_sink;
};
