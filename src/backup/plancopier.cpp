#include "backup/plancopier.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/runreport.h"
#include "platform/directoryops.h"
#include "platform/fileerror.h"

#include <QFile>

#include <cerrno>

namespace {

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

bool isNameError(int error)
{
    // What FAT drivers answer for a name they refuse.
    return error == EINVAL || error == ENOENT || error == EPERM || error == EILSEQ || error == EACCES;
}

// The first component of `path` that a FAT volume refuses, or empty.
QByteArray refusedComponent(const QByteArray &path)
{
    for (const QByteArray &part : path.split('/')) {
        if (!part.isEmpty() && !platform::isNameAllowedOnFat(part)) {
            return part;
        }
    }
    return QByteArray();
}

} // namespace

PlanCopier::PlanCopier(RunReport &report, const BackupVolume &volume, const CopyPlan &plan)
    : m_report(report)
    , m_volume(volume)
    , m_plan(plan)
    , m_cleaned(plan.folderCount(), false)
{
    m_copier.setMaximumFileSize(volume.maximumFileSize());
}

void PlanCopier::run()
{
    const float total = float(m_plan.size());
    for (std::size_t i = 0; i < m_plan.size(); ++i) {
        if (copyEntry(i)) {
            m_report.job().setProgressValue(float(m_itemsBackedUp) / total);
        }
        if (m_report.cancelRequested()) {
            m_cancelSeen = true;
            break;
        }
    }
    m_folder = FolderHandles();
}

void PlanCopier::enterFolder(std::uint32_t index, bool create)
{
    if (m_folder.index == std::int64_t(index) && (m_folder.target || !create)) {
        return;
    }
    const CopyPlan::Folder &folder = m_plan.folder(index);
    if (m_folder.index != std::int64_t(index)) {
        m_folder = FolderHandles();
        m_folder.index = index;
        platform::OpenResult source = platform::openDirectory(folder.sourcePath);
        m_folder.source = std::move(source.fd);
        m_folder.sourceError = source.error;
    }
    platform::OpenResult target;
    if (!m_volume.isOpen()) {
        target.error = ENOTCONN;
    } else if (create) {
        QByteArray failedAt;
        target = platform::makeDirectoriesBeneath(m_volume.fd(), folder.targetPath, &failedAt);
        if (!target.fd) {
            const QByteArray refused = refusedComponent(failedAt);
            const QString reason = isNameError(target.error) && !refused.isEmpty()
                ? QStringLiteral("the name \"%1\" is not allowed on this file system").arg(display(refused))
                : platform::describeFileError(target.error);
            m_report.error(QStringLiteral("Failed to create directory ")
                           + display(joinPath(m_volume.nativePath(), failedAt)) + QStringLiteral(": ") + reason);
        }
    } else {
        target = platform::openDirectoryBeneath(m_volume.fd(), folder.targetPath);
    }
    m_folder.target = std::move(target.fd);
    m_folder.targetError = target.error;
    if (m_folder.target && !m_cleaned[index]) {
        m_copier.removeStaleTemporaries(m_folder.target.get());
        m_cleaned[index] = true;
    }
}

bool PlanCopier::copyEntry(std::size_t index)
{
    const CopyPlan::Entry &entry = m_plan.entry(index);
    enterFolder(entry.folder, entry.reason == CopyFileReason::doesNotExist);

    const QByteArrayView name = m_plan.name(index);
    m_report.job().setProgressMessage(QStringLiteral("Backing up \"%1\"...").arg(QFile::decodeName(name.toByteArray())));

    platform::CopyResult result;
    if (!m_folder.source) {
        result.stage = platform::CopyStage::ReadSource;
        result.error = m_folder.sourceError;
    } else if (!m_folder.target) {
        result.stage = platform::CopyStage::CreateTemporary;
        result.error = m_folder.targetError;
    } else {
        const char *cName = m_plan.cName(index);
        result = m_copier.copy(m_folder.source.get(), cName, entry.type, m_folder.target.get(), cName);
    }
    if (result.ok()) {
        ++m_itemsBackedUp;
        m_bytesCopied += quint64(std::max<std::int64_t>(result.bytesCopied, 0));
        return true;
    }
    if (result.stage == platform::CopyStage::RemoveOld) {
        m_report.error(QStringLiteral("Failed to remove existing file ")
                       + display(m_plan.describe(index, m_volume.nativePath()).target) + QStringLiteral(": ")
                       + platform::describeFileError(result.error));
    }
    m_report.error(QStringLiteral("Failed to copy file ") + describeFailure(index, result));
    return false;
}

QString PlanCopier::describeFailure(std::size_t index, const platform::CopyResult &result) const
{
    using platform::CopyStage;
    const CopyPlan::Entry &entry = m_plan.entry(index);
    // Some FAT drivers report a full volume as "operation not permitted".
    auto isFull = [this](std::int64_t needed) {
        const std::int64_t available = m_volume.availableBytes();
        return available >= 0 && available < std::max<std::int64_t>(needed, 1);
    };
    const CopyFileType paths = m_plan.describe(index, m_volume.nativePath());
    QString reason;
    switch (result.stage) {
    case CopyStage::None:
        break;
    case CopyStage::ReadSource:
        reason = QStringLiteral("it could not be read (%1)").arg(platform::describeFileError(result.error));
        break;
    case CopyStage::Unsupported:
        switch (entry.type) {
        case platform::FileType::Fifo:
            reason = QStringLiteral("it is a named pipe; pipes are not backed up");
            break;
        case platform::FileType::Socket:
            reason = QStringLiteral("it is a socket; sockets are not backed up");
            break;
        case platform::FileType::CharacterDevice:
        case platform::FileType::BlockDevice:
            reason = QStringLiteral("it is a device file; device files are not backed up");
            break;
        default:
            reason = QStringLiteral("it is no longer a regular file");
            break;
        }
        break;
    case CopyStage::TooLarge:
        reason = platform::describeFileError(EFBIG);
        break;
    case CopyStage::RemoveOld:
        reason = QStringLiteral("the old copy could not be replaced (%1)").arg(platform::describeFileError(result.error));
        break;
    case CopyStage::CreateTemporary:
    case CopyStage::Write:
    case CopyStage::SetTimes:
    case CopyStage::Rename: {
        const bool linkRefused = entry.type == platform::FileType::Symlink && result.stage == CopyStage::CreateTemporary
            && (result.error == EPERM || result.error == ENOSYS || result.error == EOPNOTSUPP);
        if (linkRefused) {
            reason = QStringLiteral("symbolic links are not supported on this volume's file system");
        } else if (result.stage == CopyStage::Rename && isNameError(result.error)
                   && !platform::isNameAllowedOnFat(m_plan.name(index))) {
            reason = QStringLiteral("the name is not allowed on this file system");
        } else if (result.stage == CopyStage::SetTimes) {
            reason = QStringLiteral("its modification time could not be kept on the volume (%1)")
                         .arg(platform::describeFileError(result.error));
        } else if (result.stage == CopyStage::Write && result.error != ENOSPC && isFull(entry.size)) {
            reason = platform::describeFileError(ENOSPC);
        } else {
            reason = platform::describeFileError(result.error);
        }
        break;
    }
    }
    return display(paths.source) + QStringLiteral(": ") + reason;
}
