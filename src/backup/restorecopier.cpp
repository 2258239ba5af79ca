#include "backup/restorecopier.h"

#include "backup/backupthread.h"
#include "backup/runreport.h"
#include "platform/fileerror.h"
#include "platform/mountpoint.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>

namespace {

constexpr std::size_t kStretchLength = 64;
constexpr qsizetype kLongestName = 255;

// A full or read-only disk fails every later item the same way.
bool stopsTheRun(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EROFS;
}

} // namespace

RestoreCopier::RestoreCopier(RunReport &report, const RestorePlan &plan, int rootFd, QString volumePath, bool beside,
                             bool keepPermissions, int workers)
    : m_report(report)
    , m_plan(plan)
    , m_rootFd(rootFd)
    , m_volumePath(std::move(volumePath))
    , m_beside(beside)
    , m_keepPermissions(keepPermissions)
    , m_workers(std::max(1, workers))
{
}

RestoreCopier::~RestoreCopier() = default;

int RestoreCopier::defaultWorkers()
{
    return int(std::max(2u, std::thread::hardware_concurrency())) + 2;
}

void RestoreCopier::run()
{
    for (std::size_t begin = 0; begin < m_plan.entries.size(); begin += kStretchLength) {
        Stretch stretch;
        stretch.begin = begin;
        stretch.end = std::min(begin + kStretchLength, m_plan.entries.size());
        m_stretches.push_back(std::move(stretch));
    }
    std::vector<std::thread> workers;
    const int count = int(std::min<std::size_t>(std::size_t(m_workers), m_stretches.size()));
    try {
        for (int i = 0; i < count; ++i) {
            workers.emplace_back([this] { work(); });
        }
    } catch (...) {
        if (workers.empty()) {
            m_stop = true;
            throw;
        }
    }
    // The outcomes in plan order, as each stretch completes. After a stop
    // every stretch a worker took is still reported (its files were
    // written); one no worker took never will be.
    for (std::size_t index = 0; index < m_stretches.size(); ++index) {
        Stretch &stretch = m_stretches[index];
        {
            std::unique_lock lock(m_lock);
            while (!stretch.done && !(m_stop && index >= m_nextStretch)) {
                m_stretchDone.wait_for(lock, std::chrono::milliseconds(50));
                if (!m_cancelSeen && m_report.cancelRequested()) {
                    m_cancelSeen = true;
                    m_stop = true;
                }
            }
            if (!stretch.done) {
                break;
            }
        }
        report(stretch);
    }
    m_stop = true;
    for (std::thread &worker : workers) {
        worker.join();
    }
    if (!m_cancelSeen && m_report.cancelRequested()) {
        m_cancelSeen = true;
    }
}

void RestoreCopier::report(const Stretch &stretch)
{
    // After a failure that ends the phase, the workers that were still busy
    // met it too: one line says it.
    if (!m_stoppedByFailure) {
        for (const auto &[isError, text] : stretch.lines) {
            if (isError) {
                m_report.error(text);
            } else {
                m_report.log(text);
            }
        }
    }
    m_itemsRestored += stretch.restored;
    m_bytesRestored += stretch.bytes;
    m_entriesDone += stretch.end - stretch.begin;
    m_report.job().setProgressValue(float(m_entriesDone) / float(m_plan.entries.size()));
    if (stretch.stopsRun) {
        m_stoppedByFailure = true;
        m_stop = true;
    }
}

void RestoreCopier::work()
{
    platform::RestoreWriter writer;
    writer.setKeepPermissions(m_keepPermissions);
    Folders folders;
    folders.bases.resize(m_plan.bases.size());
    for (;;) {
        Stretch *stretch = nullptr;
        {
            const std::lock_guard lock(m_lock);
            if (m_stop || m_nextStretch >= m_stretches.size()) {
                return;
            }
            stretch = &m_stretches[m_nextStretch++];
        }
        try {
            restoreStretch(*stretch, writer, folders);
        } catch (const std::exception &failure) {
            stretch->lines.emplace_back(true, QStringLiteral("The restore stopped early: ")
                                                  + QString::fromLocal8Bit(failure.what()));
            stretch->stopsRun = true;
        }
        {
            const std::lock_guard lock(m_lock);
            stretch->done = true;
        }
        m_stretchDone.notify_all();
    }
}

void RestoreCopier::restoreStretch(Stretch &stretch, platform::RestoreWriter &writer, Folders &folders)
{
    for (std::size_t i = stretch.begin; i < stretch.end; ++i) {
        if (m_stop) {
            // Cut short: the entries not tried are reported by nobody.
            stretch.end = i;
            return;
        }
        const RestorePlan::Entry &entry = m_plan.entries[i];
        const RestorePlan::Folder &folder = m_plan.folders[entry.folder];
        if (std::int64_t(entry.folder) != folders.index) {
            enterFolder(entry.folder, writer, folders);
        }
        if (!folders.volume) {
            if (!platform::isMountPoint(m_volumePath)) {
                stretch.lines.emplace_back(true, QStringLiteral("Volume not connected"));
                stretch.stopsRun = true;
                stretch.end = i + 1;
                return;
            }
            stretch.lines.emplace_back(true, QStringLiteral("Failed to restore %1: %2")
                                                 .arg(m_plan.localPathOf(folder, entry.name),
                                                      platform::describeFileError(folders.volumeError)));
        } else if (!folders.local) {
            stretch.lines.emplace_back(true, QStringLiteral("Failed to create folder %1: %2")
                                                 .arg(m_plan.localPathOf(folder),
                                                      platform::describeFileError(folders.localError)));
            if (stopsTheRun(folders.localError)) {
                stretch.stopsRun = true;
            }
        } else if (!restoreEntry(stretch, entry, writer, folders.volume.get(), folders.local.get())) {
            stretch.stopsRun = true;
        }
        if (stretch.stopsRun) {
            stretch.end = i + 1;
            return;
        }
    }
}

void RestoreCopier::enterFolder(std::uint32_t index, platform::RestoreWriter &writer, Folders &folders) const
{
    const RestorePlan::Folder &folder = m_plan.folders[index];
    folders.index = index;
    folders.volume = writer.openVolumeFolder(m_rootFd, folder.volumePath, folders.volumeError);
    folders.local.reset();
    platform::UniqueFd &base = folders.bases[folder.base];
    if (!base) {
        base = platform::RestoreWriter::openLocalBase(m_plan.bases[folder.base], true, folders.localError);
    }
    if (base) {
        folders.local = platform::RestoreWriter::openLocalFolder(base.get(), folder.localPath, true, folders.localError);
    }
    if (folders.local) {
        writer.enterLocalFolder(folders.local.get());
    }
}

bool RestoreCopier::restoreEntry(Stretch &stretch, const RestorePlan::Entry &entry, platform::RestoreWriter &writer,
                                 int volumeFd, int localFd) const
{
    using Stage = platform::RestoreResult::Stage;
    const RestorePlan::Folder &folder = m_plan.folders[entry.folder];
    const char *name = entry.name.constData();
    platform::RestoreResult result;
    bool differs = entry.differs;
    if (!differs) {
        result = writer.restore(volumeFd, name, entry.type, localFd, name);
        // Something took the name since the scan: a difference after all.
        differs = result.stage == Stage::Exists;
    }
    if (differs) {
        platform::FileAttributes copy;
        platform::FileAttributes local;
        if (platform::attributesAt(volumeFd, name, copy) != 0) {
            result = platform::RestoreResult{Stage::ReadSource, errno, 0};
        } else if (!entry.differs && platform::attributesAt(localFd, name, local) == 0
                   && RestorePlan::sameAsCopy(copy, local, volumeFd, name, localFd, name)) {
            return true;
        } else if (!m_beside) {
            stretch.lines.emplace_back(false, QStringLiteral("Kept %1: it differs from the backup")
                                                  .arg(m_plan.localPathOf(folder, entry.name)));
            return true;
        } else {
            for (int attempt = 1; attempt <= RestorePlan::kBesideAttempts; ++attempt) {
                const QByteArray beside = RestorePlan::besideName(entry.name, attempt);
                if (beside.size() > kLongestName) {
                    result = platform::RestoreResult{Stage::Create, ENAMETOOLONG, 0};
                    break;
                }
                result = writer.restore(volumeFd, name, entry.type, localFd, beside.constData());
                if (result.ok()) {
                    stretch.lines.emplace_back(
                        false, QStringLiteral("Kept %1 and restored the backup's version beside it as \"%2\"")
                                   .arg(m_plan.localPathOf(folder, entry.name), QFile::decodeName(beside)));
                    break;
                }
                if (result.stage != Stage::Exists) {
                    break;
                }
                // Restored beside it by an earlier restore already.
                if (platform::attributesAt(localFd, beside.constData(), local) == 0
                    && RestorePlan::sameAsCopy(copy, local, volumeFd, name, localFd, beside.constData())) {
                    return true;
                }
            }
        }
    }
    if (result.ok()) {
        ++stretch.restored;
        stretch.bytes += quint64(result.bytes);
        return true;
    }
    const QString path = m_plan.localPathOf(folder, entry.name);
    switch (result.stage) {
    case Stage::ReadSource:
        if (!platform::isMountPoint(m_volumePath)) {
            stretch.lines.emplace_back(true, QStringLiteral("Volume not connected"));
            return false;
        }
        stretch.lines.emplace_back(true, QStringLiteral("Failed to read the backup of %1: %2")
                                             .arg(path, platform::describeFileError(result.error)));
        return true;
    case Stage::Unsupported:
        stretch.lines.emplace_back(true, QStringLiteral("Not restored: %1 is not a file, folder or link").arg(path));
        return true;
    case Stage::Exists:
        stretch.lines.emplace_back(true, QStringLiteral("Not restored: %1: no free name beside it").arg(path));
        return true;
    default:
        stretch.lines.emplace_back(true, QStringLiteral("Failed to restore %1: %2")
                                             .arg(path, platform::describeFileError(result.error)));
        return !stopsTheRun(result.error);
    }
}
