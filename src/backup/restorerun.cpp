#include "backup/restorerun.h"

#include "backup/displayformat.h"
#include "backup/runreport.h"
#include "platform/directoryops.h"
#include "platform/directoryreader.h"
#include "platform/filecopier.h"
#include "platform/fileerror.h"
#include "platform/mountpoint.h"
#include "platform/restorewriter.h"
#include "volumes/linuxvolumetable.h"
#include "volumes/volumevalidator.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cmath>
#include <exception>
#include <new>

using displayformat::byteCount;
using displayformat::count;

namespace {

constexpr int kBesideAttempts = 99;
constexpr qsizetype kLongestName = 255;

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

// File systems that keep no permission bits of their own: what their files
// show is the mount's default, not the person's.
bool keepsPermissions(const QString &fileSystemType)
{
    static const QStringList withoutBits = {QStringLiteral("vfat"), QStringLiteral("msdos"), QStringLiteral("exfat"),
                                            QStringLiteral("fuseblk"), QStringLiteral("ntfs"),
                                            QStringLiteral("ntfs3"), QStringLiteral("fuse.exfat"),
                                            QStringLiteral("fuse.fusefat")};
    return !withoutBits.contains(fileSystemType);
}

bool stopsTheRun(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EROFS;
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

QByteArray RestoreRun::besideName(const QByteArray &name, int attempt)
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

QString RestoreRun::volumeDisplay() const
{
    return QLatin1Char('"') + m_request.volumeName + QLatin1Char('"');
}

QString RestoreRun::localPathOf(const Folder &folder, const QByteArray &name) const
{
    QByteArray path = m_bases[folder.base];
    for (const QByteArray &part : {folder.localPath, name}) {
        if (!part.isEmpty()) {
            path = path.endsWith('/') ? path + part : path + '/' + part;
        }
    }
    return QFile::decodeName(path);
}

void RestoreRun::execute()
{
    RunReport report(m_job);
    platform::RestoreWriter writer;
    m_writer = &writer;
    try {
        if (scan(report)) {
            const QString summary = QStringLiteral("Items checked %1, %2 to restore, requires %3")
                                        .arg(count(m_itemsChecked), count(m_entries.size()),
                                             byteCount(m_bytesToRestore));
            m_job.setProgressMessage(summary);
            report.log(summary);
            if (!m_entries.empty() && !m_cancelSeen && report.cancelRequested()) {
                m_cancelSeen = true;
            }
            if (!m_entries.empty() && !m_cancelSeen) {
                m_job.setStatus(BackupThreadStatusValue::backingUp);
                report.log(QStringLiteral("Restoring %1 items.").arg(count(m_entries.size())));
                restorePlan(report);
                const QString restored = QStringLiteral("Items restored %1, %2. Errors %3")
                                             .arg(count(m_itemsRestored), byteCount(m_bytesRestored),
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
    m_bases.push_back(base);
    const auto baseIndex = std::uint32_t(m_bases.size() - 1);

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
        platform::UniqueFd local;
        if (localBase) {
            local = m_writer->openLocalFolder(localBase.get(), name, false, error);
            if (!local && error != ENOENT) {
                report.error(QStringLiteral("Not restored: %1: %2")
                                 .arg(localPathOf(Folder{{}, baseIndex, name}), platform::describeFileError(error)));
                return;
            }
        }
        m_folders.push_back(Folder{volumePath, baseIndex, name});
        scanFolder(report, source.get(), std::uint32_t(m_folders.size() - 1), local.get());
        return;
    }
    m_folders.push_back(Folder{volumeParent, baseIndex, QByteArray()});
    const auto folder = std::uint32_t(m_folders.size() - 1);
    if (attributes.type != platform::FileType::Regular && attributes.type != platform::FileType::Symlink) {
        report.error(QStringLiteral("Not restored: %1 is not a file, folder or link").arg(clean));
        return;
    }
    platform::FileAttributes local;
    error = localBase ? platform::attributesAt(localBase.get(), name.constData(), local) : ENOENT;
    if (error == ENOENT) {
        m_entries.push_back(Entry{folder, attributes.type, false, attributes.size, name});
        m_bytesToRestore += std::uint64_t(attributes.size);
        return;
    }
    if (error != 0) {
        report.error(QStringLiteral("Can't get information from ") + localPathOf(m_folders[folder], name));
        return;
    }
    ++m_itemsChecked;
    if (sameAsCopy(attributes, local, volumeFolder.get(), name.constData(), localBase.get(), name.constData())) {
        return;
    }
    if (m_request.difference == RestoreRequest::Difference::skip) {
        report.log(QStringLiteral("Kept %1: it differs from the backup").arg(localPathOf(m_folders[folder], name)));
        return;
    }
    if (alreadyBeside(attributes, volumeFolder.get(), name.constData(), localBase.get())) {
        return;
    }
    m_entries.push_back(Entry{folder, attributes.type, true, attributes.size, name});
    m_bytesToRestore += std::uint64_t(attributes.size);
}

void RestoreRun::scanFolder(RunReport &report, int volumeFd, std::uint32_t folder, int localFd)
{
    platform::DirectoryReader reader;
    platform::DirectoryListing listing;
    if (const int error = reader.read(volumeFd, listing); error != 0) {
        report.error(QStringLiteral("Unable to scan %1: %2")
                         .arg(localPathOf(m_folders[folder]), platform::describeFileError(error)));
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
                             .arg(localPathOf(m_folders[folder])));
            continue;
        }
        platform::FileAttributes attributes;
        if (platform::attributesAt(volumeFd, cName, attributes) != 0) {
            report.error(QStringLiteral("Can't get information from ")
                         + localPathOf(m_folders[folder], name.toByteArray()));
            continue;
        }
        if (attributes.isDirectory()) {
            int error = 0;
            platform::UniqueFd source = m_writer->openVolumeSubfolder(volumeFd, cName, error);
            if (!source) {
                report.error(QStringLiteral("Unable to scan %1: %2")
                                 .arg(localPathOf(m_folders[folder], name.toByteArray()),
                                      platform::describeFileError(error)));
                continue;
            }
            platform::UniqueFd local;
            if (localFd >= 0) {
                local = m_writer->openLocalFolder(localFd, name.toByteArray(), false, error);
                if (!local && error != ENOENT) {
                    report.error(QStringLiteral("Not restored: %1: %2")
                                     .arg(localPathOf(m_folders[folder], name.toByteArray()),
                                          platform::describeFileError(error)));
                    continue;
                }
            }
            Folder sub{joined(m_folders[folder].volumePath, name), m_folders[folder].base,
                       joined(m_folders[folder].localPath, name)};
            m_folders.push_back(std::move(sub));
            scanFolder(report, source.get(), std::uint32_t(m_folders.size() - 1), local.get());
            if (m_cancelSeen) {
                return;
            }
            continue;
        }
        if (attributes.type != platform::FileType::Regular && attributes.type != platform::FileType::Symlink) {
            report.error(QStringLiteral("Not restored: %1 is not a file, folder or link")
                             .arg(localPathOf(m_folders[folder], name.toByteArray())));
            continue;
        }
        platform::FileAttributes local;
        const int error = localFd >= 0 ? platform::attributesAt(localFd, cName, local) : ENOENT;
        if (error == ENOENT) {
            m_entries.push_back(Entry{folder, attributes.type, false, attributes.size, name.toByteArray()});
            m_bytesToRestore += std::uint64_t(attributes.size);
            continue;
        }
        if (error != 0) {
            report.error(QStringLiteral("Can't get information from ")
                         + localPathOf(m_folders[folder], name.toByteArray()));
            continue;
        }
        ++m_itemsChecked;
        if (sameAsCopy(attributes, local, volumeFd, cName, localFd, cName)) {
            continue;
        }
        if (m_request.difference == RestoreRequest::Difference::skip) {
            report.log(QStringLiteral("Kept %1: it differs from the backup")
                           .arg(localPathOf(m_folders[folder], name.toByteArray())));
            continue;
        }
        if (alreadyBeside(attributes, volumeFd, cName, localFd)) {
            continue;
        }
        m_entries.push_back(Entry{folder, attributes.type, true, attributes.size, name.toByteArray()});
        m_bytesToRestore += std::uint64_t(attributes.size);
    }
}

bool RestoreRun::alreadyBeside(const platform::FileAttributes &copy, int volumeFd, const char *name, int localFd)
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

bool RestoreRun::sameAsCopy(const platform::FileAttributes &copy, const platform::FileAttributes &local,
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

void RestoreRun::restorePlan(RunReport &report)
{
    std::vector<platform::UniqueFd> bases(m_bases.size());
    std::int64_t current = -1;
    platform::UniqueFd volumeFolder;
    platform::UniqueFd localFolder;
    int volumeError = 0;
    int localError = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (report.cancelRequested()) {
            m_cancelSeen = true;
            return;
        }
        const Entry &entry = m_entries[i];
        const Folder &folder = m_folders[entry.folder];
        if (std::int64_t(entry.folder) != current) {
            current = entry.folder;
            volumeFolder = m_writer->openVolumeFolder(m_root.get(), folder.volumePath, volumeError);
            if (!volumeFolder && !platform::isMountPoint(m_request.volumePath)) {
                report.error(QStringLiteral("Volume not connected"));
                return;
            }
            localFolder.reset();
            platform::UniqueFd &base = bases[folder.base];
            if (!base) {
                base = platform::RestoreWriter::openLocalBase(m_bases[folder.base], true, localError);
            }
            if (base) {
                localFolder = m_writer->openLocalFolder(base.get(), folder.localPath, true, localError);
            }
            if (!localFolder && stopsTheRun(localError)) {
                report.error(QStringLiteral("Failed to create folder %1: %2")
                                 .arg(localPathOf(folder), platform::describeFileError(localError)));
                return;
            }
        }
        if (!volumeFolder) {
            report.error(QStringLiteral("Failed to restore %1: %2")
                             .arg(localPathOf(folder, entry.name), platform::describeFileError(volumeError)));
        } else if (!localFolder) {
            report.error(QStringLiteral("Failed to create folder %1: %2")
                             .arg(localPathOf(folder), platform::describeFileError(localError)));
        } else if (!restoreEntry(report, entry, volumeFolder.get(), localFolder.get())) {
            return;
        }
        m_job.setProgressValue(float(i + 1) / float(m_entries.size()));
    }
}

bool RestoreRun::restoreEntry(RunReport &report, const Entry &entry, int volumeFd, int localFd)
{
    const Folder &folder = m_folders[entry.folder];
    platform::RestoreResult result;
    bool differs = entry.differs;
    if (!differs) {
        result = m_writer->restore(volumeFd, entry.name.constData(), entry.type, localFd, entry.name.constData());
        // Something took the name since the scan: treated as a difference.
        differs = result.stage == platform::RestoreResult::Stage::Exists;
    }
    if (differs) {
        platform::FileAttributes copy;
        platform::FileAttributes local;
        if (platform::attributesAt(volumeFd, entry.name.constData(), copy) != 0) {
            result = platform::RestoreResult{platform::RestoreResult::Stage::ReadSource, errno, 0};
        } else if (!entry.differs
                   && (platform::attributesAt(localFd, entry.name.constData(), local) == 0
                       && sameAsCopy(copy, local, volumeFd, entry.name.constData(), localFd, entry.name.constData()))) {
            return true;
        } else if (!entry.differs && m_request.difference == RestoreRequest::Difference::skip) {
            report.log(QStringLiteral("Kept %1: it differs from the backup").arg(localPathOf(folder, entry.name)));
            return true;
        } else {
            for (int attempt = 1; attempt <= kBesideAttempts; ++attempt) {
                const QByteArray beside = besideName(entry.name, attempt);
                if (beside.size() > kLongestName) {
                    result = platform::RestoreResult{platform::RestoreResult::Stage::Create, ENAMETOOLONG, 0};
                    break;
                }
                result = m_writer->restore(volumeFd, entry.name.constData(), entry.type, localFd, beside.constData());
                if (result.ok()) {
                    report.log(QStringLiteral("Kept %1 and restored the backup's version beside it as \"%2\"")
                                   .arg(localPathOf(folder, entry.name), QFile::decodeName(beside)));
                    break;
                }
                if (result.stage != platform::RestoreResult::Stage::Exists) {
                    break;
                }
                // Restored beside it by an earlier restore already.
                if (platform::attributesAt(localFd, beside.constData(), local) == 0
                    && sameAsCopy(copy, local, volumeFd, entry.name.constData(), localFd, beside.constData())) {
                    return true;
                }
            }
        }
    }
    if (result.ok()) {
        ++m_itemsRestored;
        m_bytesRestored += std::uint64_t(result.bytes);
        return true;
    }
    const QString path = localPathOf(folder, entry.name);
    using Stage = platform::RestoreResult::Stage;
    switch (result.stage) {
    case Stage::ReadSource:
        if (!platform::isMountPoint(m_request.volumePath)) {
            report.error(QStringLiteral("Volume not connected"));
            return false;
        }
        report.error(QStringLiteral("Failed to read the backup of %1: %2")
                         .arg(path, platform::describeFileError(result.error)));
        return true;
    case Stage::Unsupported:
        report.error(QStringLiteral("Not restored: %1 is not a file, folder or link").arg(path));
        return true;
    case Stage::Exists:
        report.error(QStringLiteral("Not restored: %1: no free name beside it").arg(path));
        return true;
    default:
        report.error(QStringLiteral("Failed to restore %1: %2").arg(path, platform::describeFileError(result.error)));
        // A full or read-only disk fails every later item the same way.
        return !stopsTheRun(result.error);
    }
}
