#include "backup/restoreplan.h"

#include "platform/restorewriter.h"

#include <QFile>

#include <cmath>

QString RestorePlan::localPathOf(const Folder &folder, const QByteArray &name) const
{
    QByteArray path = bases[folder.base];
    for (const QByteArray &part : {folder.localPath, name}) {
        if (!part.isEmpty()) {
            path = path.endsWith('/') ? path + part : path + '/' + part;
        }
    }
    return QFile::decodeName(path);
}

QByteArray RestorePlan::besideName(const QByteArray &name, int attempt)
{
    const QByteArray mark = attempt <= 1 ? QByteArray(" (restored)") : " (restored " + QByteArray::number(attempt) + ")";
    // The extension stays last so that the file still opens the same way;
    // a leading dot (a hidden file) is no extension.
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0) {
        return name + mark;
    }
    return name.left(dot) + mark + name.mid(dot);
}

bool RestorePlan::sameAsCopy(const platform::FileAttributes &copy, const platform::FileAttributes &local,
                             int volumeFd, const char *name, int localFd, const char *localName)
{
    if (copy.type != local.type) {
        return false;
    }
    if (copy.type == platform::FileType::Regular) {
        // The backup's own rule: more than 10 seconds apart is a change.
        return copy.size == local.size && std::fabs(local.secondsNewerThan(copy)) <= 10.0;
    }
    if (copy.type == platform::FileType::Symlink) {
        QByteArray copyText;
        QByteArray localText;
        return platform::RestoreWriter::readLink(volumeFd, name, copyText)
            && platform::RestoreWriter::readLink(localFd, localName, localText) && copyText == localText;
    }
    return false;
}

bool RestorePlan::alreadyBeside(const platform::FileAttributes &copy, int volumeFd, const char *name, int localFd)
{
    for (int attempt = 1; attempt <= kBesideAttempts; ++attempt) {
        const QByteArray beside = besideName(name, attempt);
        platform::FileAttributes local;
        if (platform::attributesAt(localFd, beside.constData(), local) != 0) {
            return false;
        }
        if (sameAsCopy(copy, local, volumeFd, name, localFd, beside.constData())) {
            return true;
        }
    }
    return false;
}
