#include "backup/backupscript.h"

#include "backup/jsonreader.h"

#include <QUuid>

#include <tuple>

QString BackupScript::newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

BackupScript::BackupScript()
    : scriptName(QStringLiteral("Untitled"))
    , scriptUUID(newUuid())
    , lastBackup(never())
{
}

void BackupScript::clearVolume()
{
    volumeName.clear();
    volumePath.clear();
    volumeUUID.clear();
    volumeDescription.clear();
    volumeCapacity = 0;
    lastBackup = never();
}

namespace {

void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '/': out.append("\\/"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out.append(QByteArray("\\u00") + QByteArray::number(int(c), 16).rightJustified(2, '0'));
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

void appendKey(QByteArray &out, const char *key)
{
    if (out.size() > 1) {
        out.append(',');
    }
    out.append('"').append(key).append("\":");
}

BackupScriptDecoding failed(const QString &error)
{
    BackupScriptDecoding result;
    result.error = error;
    return result;
}

QString missing(const char *key)
{
    return QStringLiteral("the key \"%1\" is missing").arg(QLatin1String(key));
}

QString wrongType(const char *key, const char *expected)
{
    return QStringLiteral("the value of \"%1\" is not %2").arg(QLatin1String(key), QLatin1String(expected));
}

} // namespace

QByteArray encodeBackupScript(const BackupScript &script)
{
    QByteArray out("{");
    appendKey(out, "scriptName");
    appendJsonString(out, script.scriptName);
    appendKey(out, "scriptUUID");
    appendJsonString(out, script.scriptUUID);
    appendKey(out, "sourcePaths");
    out.append('[');
    for (qsizetype i = 0; i < script.sourcePaths.size(); ++i) {
        if (i > 0) {
            out.append(',');
        }
        appendJsonString(out, script.sourcePaths.at(i));
    }
    out.append(']');
    appendKey(out, "volumeCapacity");
    out.append(QByteArray::number(script.volumeCapacity));
    appendKey(out, "volumeDescription");
    appendJsonString(out, script.volumeDescription);
    appendKey(out, "volumeName");
    appendJsonString(out, script.volumeName);
    appendKey(out, "volumeUUID");
    appendJsonString(out, script.volumeUUID);
    appendKey(out, "volumePath");
    appendJsonString(out, script.volumePath);
    appendKey(out, "lastBackup");
    appendJsonString(out, script.lastBackup);
    out.append('}');
    return out;
}

BackupScriptDecoding decodeBackupScript(const QByteArray &json)
{
    QString parseError;
    const std::optional<JsonNode> root = JsonReader::parse(json, &parseError);
    if (!root) {
        return failed(parseError);
    }
    if (root->type != JsonNode::Type::Object) {
        return failed(QStringLiteral("the data is not a JSON object"));
    }

    BackupScript script;
    QString error;
    auto requiredString = [&](const char *key, QString &field) {
        const JsonNode *node = root->member(QLatin1String(key));
        if (!node) {
            error = missing(key);
            return false;
        }
        if (node->type != JsonNode::Type::String) {
            error = wrongType(key, "text");
            return false;
        }
        field = node->string;
        return true;
    };
    auto optionalString = [&](const char *key, QString &field, const QString &absent) {
        const JsonNode *node = root->member(QLatin1String(key));
        if (!node || node->type == JsonNode::Type::Null) {
            field = absent;
            return true;
        }
        if (node->type != JsonNode::Type::String) {
            error = wrongType(key, "text");
            return false;
        }
        field = node->string;
        return true;
    };

    if (!requiredString("scriptName", script.scriptName) || !requiredString("scriptUUID", script.scriptUUID)) {
        return failed(error);
    }
    const JsonNode *sources = root->member(QStringLiteral("sourcePaths"));
    if (!sources) {
        return failed(missing("sourcePaths"));
    }
    if (sources->type != JsonNode::Type::Array) {
        return failed(wrongType("sourcePaths", "a list of texts"));
    }
    script.sourcePaths.clear();
    for (const JsonNode &item : sources->items) {
        if (item.type != JsonNode::Type::String) {
            return failed(wrongType("sourcePaths", "a list of texts"));
        }
        script.sourcePaths.append(item.string);
    }
    const JsonNode *capacity = root->member(QStringLiteral("volumeCapacity"));
    if (!capacity) {
        return failed(missing("volumeCapacity"));
    }
    const std::optional<quint64> bytes = capacity->type == JsonNode::Type::Number
        ? JsonReader::wholeUnsigned(capacity->number)
        : std::nullopt;
    if (!bytes) {
        return failed(wrongType("volumeCapacity", "a whole number from 0 to 18446744073709551615"));
    }
    script.volumeCapacity = *bytes;
    if (!requiredString("volumeDescription", script.volumeDescription)
        || !requiredString("volumeName", script.volumeName) || !requiredString("volumeUUID", script.volumeUUID)
        || !optionalString("volumePath", script.volumePath, QString())
        || !optionalString("lastBackup", script.lastBackup, BackupScript::never())) {
        return failed(error);
    }
    BackupScriptDecoding result;
    result.script = std::move(script);
    return result;
}

BackupScript mergeBackupScripts(const BackupScript &base, const BackupScript &ours, const BackupScript &theirs)
{
    auto volume = [](auto &script) {
        return std::tie(script.volumeCapacity, script.volumeDescription, script.volumeName, script.volumeUUID,
                        script.volumePath);
    };
    BackupScript merged = theirs;
    if (ours.scriptName != base.scriptName) {
        merged.scriptName = ours.scriptName;
    }
    if (ours.scriptUUID != base.scriptUUID) {
        merged.scriptUUID = ours.scriptUUID;
    }
    if (ours.sourcePaths != base.sourcePaths) {
        // Our removals and additions, applied to their list: a source the
        // other program added stays, one we added is not lost.
        for (const QString &path : base.sourcePaths) {
            if (!ours.sourcePaths.contains(path)) {
                merged.sourcePaths.removeAll(path);
            }
        }
        for (const QString &path : ours.sourcePaths) {
            if (!base.sourcePaths.contains(path) && !merged.sourcePaths.contains(path)) {
                merged.sourcePaths.append(path);
            }
        }
    }
    if (volume(ours) != volume(base)) {
        volume(merged) = volume(ours);
    }
    if (ours.lastBackup != base.lastBackup) {
        merged.lastBackup = ours.lastBackup;
    }
    return merged;
}
