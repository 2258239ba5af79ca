#include "backup/restorerun.h"

#include "backup/displayformat.h"
#include "backup/restorecopier.h"
#include "backup/runreport.h"
#include "platform/directoryops.h"
#include "platform/filecopier.h"
#include "platform/fileerror.h"
#include "platform/mountpoint.h"
#include "platform/restorewriter.h"
#include "volumes/linuxvolumetable.h"
#include "volumes/volumevalidator.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <exception>
#include <new>

using displayformat::byteCount;
using displayformat::count;

namespace {

QByteArray joined(const QByteArray &folder, QByteArrayView name)
{
    if (folder.isEmpty()) {
        return name.toByteArray();
    }
    return folder + '/' + name.toByteArray();
}

// A name read off the volume that cannot name one item here: never used.
bool isUsableName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// File systems that keep no permission bits of their own (the FAT family,
// NTFS, and sticks mounted through FUSE's block-device mode): what their
// files show is the mount's default, not the person's.
bool keepsPermissions(const QString &fileSystemType)
{
    const QString type = fileSystemType.toLower();
    return !(type.contains(QLatin1String("fat")) || type.contains(QLatin1String("msdos"))
             || type.contains(QLatin1String("ntfs")) || type.startsWith(QLatin1String("fuseblk")));
}

} // namespace

QString RestoreRequest::title() const
{
    return QStringLiteral("Restoring from \"%1\"").arg(volumeName);
}

QString RestoreRequest::firstLogLine() const
{
    return QStringLiteral("Restore Initialized from ") + volumeName;
}

RestoreRun::RestoreRun(RestoreRequest request, BackupThread &job)
    : m_request(std::move(request))
    , m_job(job)
{
}

RestoreRun::~RestoreRun() = default;

JobKind RestoreRun::jobKind(const RestoreRequest &request)
{
    JobKind kind;
    kind.title = request.title();
    kind.firstLogLine = request.firstLogLine();
    kind.work = [request](BackupThread &job) { RestoreRun(request, job).execute(); };
    return kind;
}

QString RestoreRun::volumeDisplay() const
{
    return QLatin1Char('"') + m_request.volumeName + QLatin1Char('"');
}

void RestoreRun::execute()
{
    RunReport report(m_job);
    platform::RestoreWriter writer;
    m_writer = &writer;
    try {
        if (scan(report)) {
            const QString summary = QStringLiteral("Items checked %1, %2 to restore, requires %3")
                                        .arg(count(m_itemsChecked), count(m_plan.entries.size()),
                                             byteCount(m_plan.bytes));
            m_job.setProgressMessage(summary);
            report.log(summary);
            if (!m_plan.entries.empty() && !m_cancelSeen && report.cancelRequested()) {
                m_cancelSeen = true;
            }
            if (!m_plan.entries.empty() && !m_cancelSeen) {
                m_job.setStatus(BackupThreadStatusValue::backingUp);
                report.log(QStringLiteral("Restoring %1 items.").arg(count(m_plan.entries.size())));
                RestoreCopier copier(report, m_plan, m_root.get(), m_request.volumePath,
                                     m_request.difference == RestoreRequest::Difference::beside, m_keepPermissions);
                copier.run();
                m_cancelSeen = copier.cancelSeen();
                const QString restored = QStringLiteral("Items restored %1, %2. Errors %3")
                                             .arg(count(copier.itemsRestored()), byteCount(copier.bytesRestored()),
                                                  count(report.errorCount()));
                m_job.setProgressMessage(restored);
                report.log(restored);
            }
        }
    } catch (const std::bad_alloc &) {
        report.error(QStringLiteral("The restore stopped early: there is not enough memory"));
    } catch (const std::exception &failure) {
        report.error(QStringLiteral("The restore stopped early: ") + QString::fromLocal8Bit(failure.what()));
    }
    m_writer = nullptr;
    m_root.reset();
    if (!m_cancelSeen && report.cancelRequested()) {
        m_cancelSeen = true;
    }
    m_job.setProgressTitle(QStringLiteral("Restore Process finished"));
    if (!m_cancelSeen) {
        m_job.setStatus(BackupThreadStatusValue::completed);
    }
}

bool RestoreRun::scan(RunReport &report)
{
    // The volume's root, checked to be the volume asked for (another stick
    // may have taken its mount point), then the computer's folder on it;
    // neither may be reached through a link.
    platform::OpenResult volume = platform::openMountRoot(QFile::encodeName(m_request.volumePath));
    const volumes::LinuxVolumeTable table;
    if (!volume.fd
        || (!m_request.volumeUUID.isEmpty()
            && !volumes::volumeCarriesUuid(table, m_request.volumePath, m_request.volumeUUID))) {
        report.error(QStringLiteral("Volume not connected"));
        return false;
    }
    if (const auto mounted = table.volumeAt(m_request.volumePath)) {
        m_keepPermissions = keepsPermissions(mounted->fileSystemType);
    }
    m_writer->setKeepPermissions(m_keepPermissions);

    const QByteArray computer = QFile::encodeName(m_request.computer);
    int error = 0;
    if (isUsableName(computer)) {
        m_root = m_writer->openVolumeFolder(volume.fd.get(), "Vellory/" + computer, error);
    }
    if (!m_root) {
        report.error(QStringLiteral("There is no backup of \"%1\" on %2").arg(m_request.computer, volumeDisplay()));
        return false;
    }
    for (const QString &path : m_request.paths) {
        scanPath(report, path);
        if (m_cancelSeen) {
            break;
        }
    }
    return true;
}

void RestoreRun::scanPath(RunReport &report, const QString &path)
{
    if (!path.startsWith(QLatin1Char('/'))) {
        report.error(QStringLiteral("Not an absolute path: ") + path);
        return;
    }
    const QString clean = QDir::cleanPath(path);
    const QByteArray native = QFile::encodeName(clean);
    const QByteArray volumePath = native.mid(1);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray volumeParent = volumePath.left(qMax<qsizetype>(slash - 1, 0));
    const QByteArray name = native.mid(slash + 1);

    // In place, the item goes back into its original folder; into a chosen
    // folder, under its own name only.
    QByteArray base = m_request.targetFolder.isEmpty() ? (slash == 0 ? QByteArray("/") : native.left(slash))
                                                       : QFile::encodeName(QDir::cleanPath(m_request.targetFolder));
    m_plan.bases.push_back(base);
    const auto baseIndex = std::uint32_t(m_plan.bases.size() - 1);

    const QString scanning = QStringLiteral("Scanning ") + clean + QStringLiteral("...");
    report.log(scanning);
    m_job.setProgressMessage(scanning);

    int error = 0;
    platform::UniqueFd volumeFolder = m_writer->openVolumeFolder(m_root.get(), volumeParent, error);
    platform::FileAttributes attributes;
    if (volumeFolder && !name.isEmpty()) {
        error = platform::attributesAt(volumeFolder.get(), name.constData(), attributes);
    } else if (volumeFolder) {
        attributes.type = platform::FileType::Directory;
    }
    if (!volumeFolder || error != 0) {
        if (error == ENOENT || error == ENOTDIR) {
            report.error(QStringLiteral("item not found in the backup: ") + clean);
        } else if (!platform::isMountPoint(m_request.volumePath)) {
            report.error(QStringLiteral("Volume not connected"));
        } else {
            report.error(QStringLiteral("Not restored: %1: %2").arg(clean, platform::describeFileError(error)));
        }
        return;
    }
    // A local folder that is missing is made when the restore writes into it.
    platform::UniqueFd localBase = platform::RestoreWriter::openLocalBase(base, false, error);
    if (!localBase && error != ENOENT) {
        report.error(QStringLiteral("Not restored: %1: %2").arg(QFile::decodeName(base), platform::describeFileError(error)));
        return;
    }

    if (attributes.isDirectory()) {
        platform::UniqueFd source = name.isEmpty() ? std::move(volumeFolder)
                                                   : m_writer->openVolumeSubfolder(volumeFolder.get(), name.constData(), error);
        if (!source) {
            report.error(QStringLiteral("Unable to scan %1: %2").arg(clean, platform::describeFileError(error)));
            return;
        }
        // The picked folder's own place is part of the target path: a link
        // there is the person's and is followed, as for the folders above
        // it; below it no link is.
        if (!name.isEmpty()) {
            m_plan.bases.push_back(base.endsWith('/') ? base + name : base + '/' + name);
        }
        const auto folderBase = std::uint32_t(m_plan.bases.size() - 1);
        platform::UniqueFd local = platform::RestoreWriter::openLocalBase(m_plan.bases[folderBase], false, error);
        if (!local && error != ENOENT) {
            report.error(QStringLiteral("Not restored: %1: %2")
                             .arg(QFile::decodeName(m_plan.bases[folderBase]), platform::describeFileError(error)));
            return;
        }
        m_plan.folders.push_back(RestorePlan::Folder{volumePath, folderBase, QByteArray()});
        scanFolder(report, source.get(), std::uint32_t(m_plan.folders.size() - 1), local.get());
        return;
    }
    m_plan.folders.push_back(RestorePlan::Folder{volumeParent, baseIndex, QByteArray()});
    if (attributes.type != platform::FileType::Regular && attributes.type != platform::FileType::Symlink) {
        report.error(QStringLiteral("Not restored: %1 is not a file, folder or link").arg(clean));
        return;
    }
    consider(report, std::uint32_t(m_plan.folders.size() - 1), volumeFolder.get(), name, attributes, localBase.get());
}

void RestoreRun::consider(RunReport &report, std::uint32_t folder, int volumeFd, const QByteArray &name,
                          const platform::FileAttributes &copy, int localFd)
{
    platform::FileAttributes local;
    const int error = localFd >= 0 ? platform::attributesAt(localFd, name.constData(), local) : ENOENT;
    bool differs = false;
    if (error == 0) {
        ++m_itemsChecked;
        if (RestorePlan::sameAsCopy(copy, local, volumeFd, name.constData(), localFd, name.constData())) {
            return;
        }
        if (m_request.difference == RestoreRequest::Difference::skip) {
            report.log(QStringLiteral("Kept %1: it differs from the backup")
                           .arg(m_plan.localPathOf(m_plan.folders[folder], name)));
            return;
        }
        if (RestorePlan::alreadyBeside(copy, volumeFd, name.constData(), localFd)) {
            return;
        }
        differs = true;
    } else if (error != ENOENT) {
        report.error(QStringLiteral("Can't get information from ") + m_plan.localPathOf(m_plan.folders[folder], name));
        return;
    }
    m_plan.entries.push_back(RestorePlan::Entry{folder, copy.type, differs, copy.size, name});
    m_plan.bytes += std::uint64_t(std::max<std::int64_t>(copy.size, 0));
}

void RestoreRun::scanFolder(RunReport &report, int volumeFd, std::uint32_t folder, int localFd)
{
    platform::DirectoryListing listing;
    if (const int error = m_reader.read(volumeFd, listing); error != 0) {
        report.error(QStringLiteral("Unable to scan %1: %2")
                         .arg(m_plan.localPathOf(m_plan.folders[folder]), platform::describeFileError(error)));
        return;
    }
    listing.sortByName();
    for (std::size_t i = 0; i < listing.size(); ++i) {
        if (report.cancelRequested()) {
            m_cancelSeen = true;
            return;
        }
        const QByteArrayView name = listing.name(i);
        const char *cName = listing.cName(i);
        // A damaged volume may list one name twice: it is looked at once, so
        // that a link restored under it can never be walked into.
        if (i > 0 && listing.name(i - 1) == name) {
            continue;
        }
        if (platform::FileCopier::isTemporaryName(name)) {
            continue; // an interrupted copy's leftover, not a backed-up file
        }
        if (!isUsableName(name)) {
            report.error(QStringLiteral("Not restored: a name in %1 cannot be used here")
                             .arg(m_plan.localPathOf(m_plan.folders[folder])));
            continue;
        }
        platform::FileAttributes attributes;
        if (platform::attributesAt(volumeFd, cName, attributes) != 0) {
            report.error(QStringLiteral("Can't get information from ")
                         + m_plan.localPathOf(m_plan.folders[folder], name.toByteArray()));
            continue;
        }
        if (attributes.isDirectory()) {
            int error = 0;
            platform::UniqueFd source = m_writer->openVolumeSubfolder(volumeFd, cName, error);
            if (!source) {
                report.error(QStringLiteral("Unable to scan %1: %2")
                                 .arg(m_plan.localPathOf(m_plan.folders[folder], name.toByteArray()),
                                      platform::describeFileError(error)));
                continue;
            }
            platform::UniqueFd local;
            if (localFd >= 0) {
                local = platform::RestoreWriter::openLocalFolder(localFd, name.toByteArray(), false, error);
                if (!local && error != ENOENT) {
                    report.error(QStringLiteral("Not restored: %1: %2")
                                     .arg(m_plan.localPathOf(m_plan.folders[folder], name.toByteArray()),
                                          platform::describeFileError(error)));
                    continue;
                }
            }
            RestorePlan::Folder sub{joined(m_plan.folders[folder].volumePath, name), m_plan.folders[folder].base,
                                    joined(m_plan.folders[folder].localPath, name)};
            m_plan.folders.push_back(std::move(sub));
            scanFolder(report, source.get(), std::uint32_t(m_plan.folders.size() - 1), local.get());
            if (m_cancelSeen) {
                return;
            }
            continue;
        }
        if (attributes.type != platform::FileType::Regular && attributes.type != platform::FileType::Symlink) {
            report.error(QStringLiteral("Not restored: %1 is not a file, folder or link")
                             .arg(m_plan.localPathOf(m_plan.folders[folder], name.toByteArray())));
            continue;
        }
        consider(report, folder, volumeFd, name.toByteArray(), attributes, localFd);
    }
}

