#include "backup/sourcescanner.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/runreport.h"
#include "platform/directoryops.h"
#include "platform/fileattributes.h"
#include "platform/fileerror.h"

#include <QDir>
#include <QFile>

#include <cerrno>

namespace {

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

bool isDsStore(const char *name)
{
    return qstrcmp(name, ".DS_Store") == 0;
}

} // namespace

SourceScanner::SourceScanner(RunReport &report, const BackupVolume &volume, CopyPlan &plan)
    : m_report(report)
    , m_volume(volume)
    , m_plan(plan)
{
}

void SourceScanner::scan(const QString &sourcePath)
{
    if (!QDir::isAbsolutePath(sourcePath)) {
        m_report.error(QStringLiteral("item not found: ") + sourcePath);
        return;
    }
    const QByteArray path = QFile::encodeName(QDir::cleanPath(sourcePath));
    platform::FileAttributes top;
    if (const int error = platform::attributesOfPath(path.constData(), true, top); error != 0) {
        if (error == ENOENT || error == ENOTDIR) {
            m_report.error(QStringLiteral("item not found: ") + sourcePath);
        } else {
            m_report.error(sourcePath + QStringLiteral(": ") + platform::describeFileError(error));
        }
        return;
    }
    const QString scanning = QStringLiteral("Scanning ") + sourcePath + QStringLiteral("...");
    m_report.log(scanning);
    m_report.job().setProgressMessage(scanning);

    if (top.isDirectory()) {
        if (m_volume.isVolumeRoot(top)) {
            return;
        }
        platform::OpenResult folder = platform::openDirectory(path);
        if (!folder.fd) {
            m_report.error(QStringLiteral("Unable to scan ") + sourcePath);
            return;
        }
        const QByteArray targetPath = m_volume.targetPathOf(path);
        platform::OpenResult target;
        if (m_volume.isOpen()) {
            target = platform::openDirectoryBeneath(m_volume.fd(), targetPath);
        }
        walk(folder.fd.get(), target.fd.get(), path, targetPath);
        return;
    }

    // A single file: it is its folder's only item.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parentPath = slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    platform::OpenResult parent = platform::openDirectory(parentPath);
    if (!parent.fd) {
        m_report.error(QStringLiteral("Unable to scan ") + sourcePath);
        return;
    }
    platform::FileAttributes item;
    if (platform::attributesAt(parent.fd.get(), name.constData(), item) != 0) {
        m_report.error(QStringLiteral("Can't get information from ") + sourcePath);
        return;
    }
    if (isDsStore(name.constData())) {
        return;
    }
    const QByteArray targetPath = m_volume.targetPathOf(parentPath);
    platform::OpenResult target;
    if (m_volume.isOpen()) {
        target = platform::openDirectoryBeneath(m_volume.fd(), targetPath);
    }
    FolderCursor cursor{parentPath, targetPath};
    consider(target.fd.get(), name.constData(), item, cursor);
}

bool SourceScanner::walk(int sourceFd, int targetFd, const QByteArray &sourcePath, const QByteArray &targetPath)
{
    platform::DirectoryListing listing;
    if (m_reader.read(sourceFd, listing) != 0) {
        m_report.error(QStringLiteral("Unable to scan ") + display(sourcePath));
        return true;
    }
    listing.sortByName();
    FolderCursor cursor{sourcePath, targetPath};

    for (std::size_t i = 0; i < listing.size(); ++i) {
        const char *name = listing.cName(i);
        platform::FileAttributes item;
        if (platform::attributesAt(sourceFd, name, item) != 0) {
            m_report.error(QStringLiteral("Can't get information from ") + display(joinPath(sourcePath, listing.name(i))));
            continue;
        }
        if (item.isDirectory()) {
            if (m_volume.isVolumeRoot(item)) {
                continue;
            }
            const QByteArray childPath = joinPath(sourcePath, listing.name(i));
            platform::OpenResult child = platform::openSubdirectory(sourceFd, name);
            if (!child.fd) {
                // An unreadable folder is an error, not a silent gap.
                m_report.error(QStringLiteral("Unable to scan ") + display(childPath));
                continue;
            }
            platform::OpenResult childTarget;
            if (targetFd >= 0) {
                childTarget = platform::openSubdirectoryHandle(targetFd, name);
            }
            if (!walk(child.fd.get(), childTarget.fd.get(), childPath, joinPath(targetPath, listing.name(i)))) {
                return false;
            }
            continue;
        }
        if (isDsStore(name)) {
            continue;
        }
        if (!consider(targetFd, name, item, cursor)) {
            return false;
        }
    }
    return true;
}

bool SourceScanner::consider(int targetDirFd, const char *name,
                             const platform::FileAttributes &source, FolderCursor &folder)
{
    CopyFileReason reason = CopyFileReason::none;
    platform::FileAttributes target;
    if (targetDirFd < 0 || platform::attributesAt(targetDirFd, name, target) != 0) {
        // Once per folder: a volume that went away shows up at the next
        // folder, and a first run does not pay a mount check per file.
        if (!folder.volumeChecked) {
            if (!m_volume.isReachable()) {
                m_report.error(QStringLiteral("Volume not connected"));
                return false;
            }
            folder.volumeChecked = true;
        }
        reason = CopyFileReason::doesNotExist;
    } else {
        if (source.size != target.size) {
            reason = CopyFileReason::sizeModified;
        }
        // A copy newer than its source, or older by 10 s or less, is current.
        if (source.secondsNewerThan(target) > 10.0) {
            reason = CopyFileReason::dateModified;
        }
        ++m_itemsChecked;
    }
    // Read for every file, so that a cancel is seen during a first run too.
    if (m_report.cancelRequested()) {
        m_cancelSeen = true;
        return false;
    }
    if (reason == CopyFileReason::none) {
        return true;
    }
    if (folder.planFolder < 0) {
        folder.planFolder = m_plan.addFolder(folder.sourcePath, folder.targetPath);
    }
    m_plan.add(std::uint32_t(folder.planFolder), QByteArrayView(name), reason, source.type, source.size);
    return true;
}
