#include "volumes/mountinfo.h"

#include <QFile>
#include <QSet>

namespace volumes {

namespace {

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

QString decodedPath(const QByteArray &field)
{
    return QFile::decodeName(decodeMountField(field));
}

QStringList decodedList(const QByteArray &field)
{
    QStringList result;
    for (const QByteArray &item : field.split(',')) {
        if (!item.isEmpty()) {
            result.append(QString::fromUtf8(decodeMountField(item)));
        }
    }
    return result;
}

bool parseNumber(const QByteArray &text, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok && number >= 0) {
        *value = number;
    }
    return ok && number >= 0;
}

// One complete line; false when fields are missing or malformed.
bool parseLine(const QByteArray &line, MountInfoEntry *entry)
{
    // Fields are separated by single blanks; blanks inside fields are escaped.
    const QList<QByteArray> fields = line.split(' ');
    // At least: id, parent, dev, root, mount point, options, "-", type, source, super options.
    if (fields.size() < 10) {
        return false;
    }
    qsizetype separator = -1;
    for (qsizetype i = 6; i < fields.size(); ++i) {
        if (fields[i] == "-") {
            separator = i;
            break;
        }
    }
    if (separator < 0 || fields.size() != separator + 4) {
        return false;
    }
    if (!parseNumber(fields[0], &entry->mountId) || !parseNumber(fields[1], &entry->parentId)) {
        return false;
    }
    const QList<QByteArray> device = fields[2].split(':');
    if (device.size() != 2) {
        return false;
    }
    int major = 0;
    int minor = 0;
    if (!parseNumber(device[0], &major) || !parseNumber(device[1], &minor)) {
        return false;
    }
    entry->major = unsigned(major);
    entry->minor = unsigned(minor);
    if (fields[3].isEmpty() || fields[4].isEmpty() || fields[5].isEmpty()) {
        return false;
    }
    entry->root = decodedPath(fields[3]);
    entry->mountPoint = decodedPath(fields[4]);
    entry->mountOptions = decodedList(fields[5]);
    entry->optionalFields.clear();
    for (qsizetype i = 6; i < separator; ++i) {
        entry->optionalFields.append(QString::fromUtf8(fields[i]));
    }
    entry->fileSystemType = QString::fromUtf8(decodeMountField(fields[separator + 1]));
    entry->source = decodedPath(fields[separator + 2]);
    entry->superOptions = decodedList(fields[separator + 3]);
    return !entry->fileSystemType.isEmpty();
}

// Splits a line of fstab's form into its blank- or tab-separated words.
QList<QByteArray> words(const QByteArray &line)
{
    QList<QByteArray> result;
    QByteArray word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.isEmpty()) {
                result.append(word);
                word.clear();
            }
        } else {
            word.append(c);
        }
    }
    if (!word.isEmpty()) {
        result.append(word);
    }
    return result;
}

} // namespace

bool MountInfoEntry::isReadOnly() const
{
    return mountOptions.contains(QStringLiteral("ro")) || superOptions.contains(QStringLiteral("ro"));
}

QByteArray decodeMountField(const QByteArray &field)
{
    QByteArray result;
    result.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) && isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xff) {
                result.append(char(value));
                i += 3;
                continue;
            }
        }
        result.append(c);
    }
    return result;
}

QList<MountInfoEntry> parseMountInfo(const QByteArray &text)
{
    QList<MountInfoEntry> entries;
    for (const QByteArray &line : text.split('\n')) {
        MountInfoEntry entry;
        if (parseLine(line, &entry)) {
            entries.append(entry);
        }
    }
    return entries;
}

QList<MountInfoEntry> visibleMounts(const QList<MountInfoEntry> &entries)
{
    // A mount stacked on the same mount point names the hidden one as parent.
    QHash<int, QString> mountPointById;
    for (const MountInfoEntry &entry : entries) {
        mountPointById.insert(entry.mountId, entry.mountPoint);
    }
    QSet<int> covered;
    for (const MountInfoEntry &entry : entries) {
        const auto parent = mountPointById.constFind(entry.parentId);
        if (entry.parentId != entry.mountId && parent != mountPointById.constEnd()
            && *parent == entry.mountPoint) {
            covered.insert(entry.parentId);
        }
    }
    QList<MountInfoEntry> result;
    for (const MountInfoEntry &entry : entries) {
        if (!covered.contains(entry.mountId)) {
            result.append(entry);
        }
    }
    return result;
}

QHash<QString, QStringList> parseFstabOptions(const QByteArray &text)
{
    QHash<QString, QStringList> result;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = words(line);
        if (fields.size() < 4 || fields[0].startsWith('#')) {
            continue;
        }
        result.insert(decodedPath(fields[1]), decodedList(fields[3]));
    }
    return result;
}

QHash<QString, QStringList> parseUtabOptions(const QByteArray &text)
{
    QHash<QString, QStringList> result;
    for (const QByteArray &line : text.split('\n')) {
        QString target;
        QStringList options;
        for (const QByteArray &field : words(line)) {
            if (field.startsWith("TARGET=")) {
                target = decodedPath(field.mid(7));
            } else if (field.startsWith("OPTS=")) {
                options = decodedList(field.mid(5));
            }
        }
        if (!target.isEmpty()) {
            result.insert(target, options);
        }
    }
    return result;
}

} // namespace volumes
