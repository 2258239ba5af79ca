#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

/// The backup set: the items to back up and the volume they go to. A plain
/// value: the controller owns the one that is saved, every job gets a copy.
struct BackupScript
{
    Q_GADGET
    Q_PROPERTY(QString scriptName MEMBER scriptName)
    Q_PROPERTY(QString scriptUUID MEMBER scriptUUID)
    Q_PROPERTY(QStringList sourcePaths MEMBER sourcePaths)
    Q_PROPERTY(quint64 volumeCapacity MEMBER volumeCapacity)
    Q_PROPERTY(QString volumeDescription MEMBER volumeDescription)
    Q_PROPERTY(QString volumeName MEMBER volumeName)
    Q_PROPERTY(QString volumeUUID MEMBER volumeUUID)
    Q_PROPERTY(QString volumePath MEMBER volumePath)
    Q_PROPERTY(QString lastBackup MEMBER lastBackup)

public:
    /// "Never": a new set's lastBackup, also after clearVolume() and when the
    /// stored file lacks the key.
    static QString never() { return QStringLiteral("Never"); }
    /// A fresh identity: a random UUID, upper-case, 36 characters.
    static QString newUuid();

    /// A new set: "Untitled", a fresh UUID, no sources, no volume, "Never".
    BackupScript();

    /// Forgets the destination volume; name, identity and sources stay.
    void clearVolume();

    bool operator==(const BackupScript &other) const = default;

    QString scriptName;
    QString scriptUUID;
    QStringList sourcePaths;
    quint64 volumeCapacity = 0;
    QString volumeDescription;
    QString volumeName;
    QString volumeUUID;
    QString volumePath;
    QString lastBackup;
};

Q_DECLARE_METATYPE(BackupScript)

/// Joins two sets that both grew from `base`: `ours` (in memory) and
/// `theirs` (written to the store by another program). Each part that ours
/// changed keeps our version, every other part takes theirs. The parts are
/// the name, the identity, the destination volume (its five fields
/// together) and the last backup; the sources are merged path by path (our
/// removals and additions applied to their list).
[[nodiscard]] BackupScript mergeBackupScripts(const BackupScript &base, const BackupScript &ours,
                                              const BackupScript &theirs);

/// The outcome of reading a stored set: the set, or why it could not be read.
struct BackupScriptDecoding
{
    std::optional<BackupScript> script;
    QString error;
};

/// Compact JSON with all nine keys; every "/" is written as "\/".
[[nodiscard]] QByteArray encodeBackupScript(const BackupScript &script);

/// Reads a stored set. The seven keys other than "volumePath" and
/// "lastBackup" are required with their types; anything else fails as a
/// whole, with a description in `error`. Never crashes on broken input.
[[nodiscard]] BackupScriptDecoding decodeBackupScript(const QByteArray &json);
