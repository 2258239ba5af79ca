#include "backup/plancopier.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/nameplacer.h"
#include "backup/runreport.h"
#include "backup/writebackpacer.h"
#include "platform/directoryops.h"
#include "platform/fileattributes.h"
#include "platform/fileerror.h"
#include "platform/volumelimits.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>

namespace {

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

// A failure that says the device no longer takes writes, or that the file
// system on it found itself damaged.
bool isVolumeError(int error)
{
    return error == EIO || error == EROFS || error == ENODEV || error == ENXIO || error == ENOTCONN
        || error == ESHUTDOWN || error == EUCLEAN || error == EBADMSG;
}

// Copies that found no room are told one by one up to this many; the
// closing line tells the rest.
constexpr int kNoRoomLines = 9;
// After this many in a row the volume counts as full.
constexpr int kNoRoomInARow = 10;

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

PlanCopier::PlanCopier(RunReport &report, const BackupVolume &volume, const CopyPlan &plan, int workers)
    : m_report(report)
    , m_volume(volume)
    , m_plan(plan)
    // A worker holds its folder pair, the file pair and, while it clears a
    // folder of stale temporaries, two more: within the descriptor limit.
    , m_workers(std::clamp((platform::openFileLimit() - 24) / 8, 1, std::max(1, workers)))
    // New copies wait for their flush as unnamed files, each on a descriptor.
    , m_placer(std::make_unique<NamePlacer>(volume, plan, NamePlacer::defaultCapacity(),
                                            NamePlacer::unnamedCapacityFor(platform::raiseOpenFileLimit())))
{
}

PlanCopier::~PlanCopier() = default;

int PlanCopier::defaultWorkers()
{
    return int(std::clamp(std::thread::hardware_concurrency() * 2, 2u, 8u));
}

void PlanCopier::splitPlan()
{
    // Stretches stay within one folder and stay short, so that the workers
    // share the load and the reporting thread can follow closely behind;
    // long enough that a folder of a few hundred files is one worker's:
    // workers creating files in one folder wait on its lock in turn (with
    // 64 entries W1 S1 took 12 % more processor time than with 256).
    constexpr std::size_t kMaxEntries = 256;
    constexpr std::int64_t kMaxBytes = 16 << 20;
    std::size_t begin = 0;
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < m_plan.size(); ++i) {
        const CopyPlan::Entry &entry = m_plan.entry(i);
        const bool newFolder = i > begin && entry.folder != m_plan.entry(begin).folder;
        if (i > begin && (newFolder || i - begin >= kMaxEntries || bytes >= kMaxBytes)) {
            m_stretches.push_back(Stretch{begin, i, false, 0, false, 0, {}});
            begin = i;
            bytes = 0;
        }
        bytes += entry.size();
    }
    if (begin < m_plan.size()) {
        m_stretches.push_back(Stretch{begin, m_plan.size(), false, 0, false, 0, {}});
    }
}

void PlanCopier::run()
{
    splitPlan();
    m_outcomes = std::vector<std::atomic<Outcome>>(m_plan.size()); // all NotAttempted
    WritebackPacer pacer(m_volume, *m_placer, [this](int error) {
        stopForVolume(error == ENOSPC || error == EDQUOT ? VolumeStop::full : VolumeStop::gone);
    });
    m_pacer = &pacer;
    std::vector<std::thread> workers;
    const int count = int(std::min<std::size_t>(std::size_t(m_workers), m_stretches.size()));
    workers.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        try {
            workers.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            break; // the threads already started share the plan
        }
    }
    if (workers.empty()) {
        work(); // no thread could be started: copy on this one
    }

    try {
        reportInOrder(workers);
    } catch (...) {
        stopWorkers(workers); // never leave a worker running behind an escaping failure
        throw;
    }
    stopWorkers(workers);
    pacer.stop();
    m_pacer = nullptr;
    placeWaitingCopies();
    if (m_volumeStop.load() != VolumeStop::none || m_noRoomLines > kNoRoomLines) {
        countNotCopied();
    }
    if (m_itemsBackedUp > 0) {
        showProgress(m_lastReported, true);
    }
}

void PlanCopier::placeWaitingCopies()
{
    if (m_volumeStop.load() != VolumeStop::gone && m_placer->waiting() > 0) {
        if (const int error = m_placer->flushAndPlace(); error != 0) {
            stopForVolume(error == ENOSPC || error == EDQUOT ? VolumeStop::full : VolumeStop::gone);
        }
    }
    std::vector<std::pair<std::size_t, std::int64_t>> unnamed;
    for (const NamePlacer::Failure &failure : m_placer->takeFailures()) {
        unnamed.emplace_back(failure.index, failure.bytes);
        if (isVolumeError(failure.result.error) || !m_volume.isReachable()) {
            stopForVolume(VolumeStop::gone);
            m_outcomes[failure.index] = Outcome::VolumeFailed;
            continue;
        }
        m_outcomes[failure.index] = Outcome::FailedOnVolume;
        if (m_volumeStop.load() != VolumeStop::gone) {
            m_report.error(QStringLiteral("Failed to copy file ") + describeFailure(failure.index, failure.result));
        }
    }
    // No flush carried these onto the medium: they keep their temporary
    // names, and the next run copies them again.
    for (const NamePlacer::Failure &left : m_placer->abandon()) {
        unnamed.emplace_back(left.index, left.bytes);
        m_outcomes[left.index] = Outcome::VolumeFailed;
    }
    uncount(unnamed);
}

void PlanCopier::uncount(const std::vector<std::pair<std::size_t, std::int64_t>> &copies)
{
    for (const auto &[index, bytes] : copies) {
        --m_itemsBackedUp;
        m_bytesCopied -= quint64(std::max<std::int64_t>(bytes, 0));
    }
}

void PlanCopier::countNotCopied()
{
    for (std::size_t index = 0; index < m_outcomes.size(); ++index) {
        const Outcome outcome = m_outcomes[index];
        const bool symptom = outcome == Outcome::FailedOnVolume && m_volumeStop.load() == VolumeStop::gone;
        if (outcome == Outcome::NotAttempted || outcome == Outcome::NoRoom || outcome == Outcome::VolumeFailed
            || symptom) {
            ++m_itemsNotCopied;
            m_bytesNotCopied += quint64(std::max<std::int64_t>(m_plan.entry(index).size(), 0));
        }
    }
    if (m_volumeStop.load() == VolumeStop::none) {
        m_volumeStop = VolumeStop::full; // more copies found no room than are told one by one
    }
}

void PlanCopier::stopForVolume(VolumeStop why)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        VolumeStop none = VolumeStop::none;
        m_volumeStop.compare_exchange_strong(none, why);
        m_stop = true;
    }
    m_stretchDone.notify_all();
}

void PlanCopier::reportInOrder(std::vector<std::thread> &workers)
{
    // Report in plan order as the stretches complete. After a cancel or a
    // volume stop the workers stop before their next file; what they did up
    // to then is still reported, so that the counts match what is on the
    // volume.
    bool halted = false;
    auto halt = [&] {
        halted = true;
        stopWorkers(workers);
    };
    for (Stretch &stretch : m_stretches) {
        if (!halted) {
            std::unique_lock<std::mutex> locker(m_lock);
            m_stretchDone.wait(locker, [this, &stretch] {
                return stretch.done || m_volumeStop.load() != VolumeStop::none;
            });
        }
        if (!halted && m_volumeStop.load() != VolumeStop::none) {
            halt();
        }
        {
            std::lock_guard<std::mutex> locker(m_lock);
            if (!stretch.done) {
                continue; // never taken: with the workers joined, never will be
            }
        }
        std::size_t nextError = 0;
        for (std::size_t index = stretch.begin; index < stretch.end; ++index) {
            if (m_outcomes[index] == Outcome::NotAttempted) {
                if (stretch.cutShort) {
                    break; // the rest of it waits for a later run
                }
                if (!halted) {
                    // A worker stopped for the cancel (a volume stop halts above).
                    m_cancelSeen = m_volumeStop.load() == VolumeStop::none;
                    halt();
                }
                break;
            }
            report(index, stretch, nextError);
            m_lastReported = index;
            if (!halted && m_report.cancelRequested()) {
                m_cancelSeen = true;
                halt();
            }
        }
        // Every entry a worker attempted is reported above, so the stretch's
        // bytes are those of the reported copies.
        m_bytesCopied += quint64(stretch.bytesCopied);
        // Errors of a stretch that a failure cut short.
        while (nextError < stretch.errors.size()) {
            m_report.error(stretch.errors[nextError++].second);
        }
        // Reported: the log has them now. A run where every file fails
        // would otherwise hold each message twice until its end.
        std::vector<std::pair<std::size_t, QString>>().swap(stretch.errors);
    }
}

void PlanCopier::stopWorkers(std::vector<std::thread> &workers)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_stop = true;
    }
    for (std::thread &worker : workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

void PlanCopier::work()
{
    platform::FileCopier copier;
    copier.setMaximumFileSize(m_volume.maximumFileSize());
    copier.setDeferPlacement(true);
    copier.setUnnamedCopies(m_placer->takesUnnamed());
    FolderHandles folder;
    for (;;) {
        Stretch *stretch = nullptr;
        {
            std::lock_guard<std::mutex> locker(m_lock);
            if (m_stop || m_nextStretch == m_stretches.size()) {
                return;
            }
            stretch = &m_stretches[m_nextStretch++];
        }
        try {
            copyStretch(*stretch, folder, copier);
        } catch (const std::exception &failure) {
            // Memory ran out, say: the entry in hand fails, the rest of the
            // stretch is left for a later run.
            folder = FolderHandles();
            noteFailure(*stretch, failure);
        }
        {
            std::lock_guard<std::mutex> locker(m_lock);
            stretch->done = true;
        }
        m_stretchDone.notify_all();
    }
}

void PlanCopier::report(std::size_t index, const Stretch &stretch, std::size_t &nextError)
{
    // Once the volume has stopped taking writes, what failed on it alongside
    // is told by the one line that says so.
    const bool symptom = m_outcomes[index] == Outcome::FailedOnVolume && m_volumeStop.load() == VolumeStop::gone;
    while (nextError < stretch.errors.size() && stretch.errors[nextError].first == index) {
        const bool told = !symptom && (m_outcomes[index] != Outcome::NoRoom || m_noRoomLines < kNoRoomLines);
        if (m_outcomes[index] == Outcome::NoRoom) {
            ++m_noRoomLines; // past kNoRoomLines: told in the closing line
        }
        if (told) {
            m_report.error(stretch.errors[nextError].second);
        }
        ++nextError;
    }
    if (m_outcomes[index] == Outcome::Copied) {
        ++m_itemsBackedUp;
    }
    showProgress(index, false);
}

void PlanCopier::showProgress(std::size_t index, bool force)
{
    // The views show only the latest message and value, so a few a second
    // carry everything they can show.
    constexpr std::int64_t kIntervalNs = 40'000'000;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (!force && now - m_lastProgress < kIntervalNs) {
        return;
    }
    m_lastProgress = now;
    m_report.job().setProgressMessage(
        QStringLiteral("Backing up \"%1\"...").arg(QFile::decodeName(m_plan.name(index).toByteArray())));
    m_report.job().setProgressValue(float(m_itemsBackedUp) / float(m_plan.size()));
}

void PlanCopier::enterFolder(FolderHandles &handles, platform::FileCopier &copier, std::uint32_t index, bool create,
                             Stretch &stretch, std::size_t entry)
{
    if (handles.index == std::int64_t(index) && (handles.target || !create)) {
        return;
    }
    const CopyPlan::Folder &folder = m_plan.folder(index);
    if (handles.index != std::int64_t(index)) {
        handles = FolderHandles();
        handles.index = index;
        platform::OpenResult source = platform::openDirectory(folder.sourcePath);
        handles.source = std::move(source.fd);
        handles.sourceError = source.error;
    }
    platform::OpenResult target;
    bool made = false; // by this call: no interrupted run can have left anything in it
    if (!m_volume.isOpen()) {
        target.error = ENOTCONN;
    } else if (create) {
        QByteArray failedAt;
        target = platform::makeDirectoriesBeneath(m_volume.fd(), folder.targetPath, &failedAt, &made);
        if (!target.fd) {
            const QByteArray refused = refusedComponent(failedAt);
            const QString reason = isNameError(target.error) && !refused.isEmpty()
                ? QStringLiteral("the name \"%1\" is not allowed on this file system").arg(display(refused))
                : platform::describeFileError(target.error);
            stretch.errors.emplace_back(entry, QStringLiteral("Failed to create directory ")
                                                   + display(joinPath(m_volume.nativePath(), failedAt))
                                                   + QStringLiteral(": ") + reason);
        }
    } else {
        target = platform::openDirectoryBeneath(m_volume.fd(), folder.targetPath);
    }
    handles.target = std::move(target.fd);
    handles.targetError = target.error;
    if (handles.target) {
        copier.enterTargetFolder(handles.target.get());
        // Once per folder, and before any copy into it: a cleanup running
        // beside a copy could take that copy's fresh temporary for stale.
        // Keyed by the folder itself, not the plan's folder: single-file
        // sources of one folder are planned as folders of their own, and a
        // second cleanup would take the first one's waiting copies for stale.
        const int targetFd = handles.target.get();
        const int sourceFd = handles.source.get();
        platform::FileAttributes identity;
        std::shared_ptr<std::once_flag> once;
        if (platform::attributesOfFd(targetFd, identity) == 0) {
            std::lock_guard<std::mutex> locker(m_lock);
            std::shared_ptr<std::once_flag> &slot = m_cleaned[{identity.device, identity.inode}];
            if (!slot) {
                slot = std::make_shared<std::once_flag>();
            }
            once = slot;
        }
        if (once) {
            std::call_once(*once, [&copier, targetFd, sourceFd, made] {
                if (!made) {
                    copier.removeStaleTemporaries(targetFd, sourceFd);
                }
            });
        }
    }
}

void PlanCopier::copyStretch(Stretch &stretch, FolderHandles &folder, platform::FileCopier &copier)
{
    for (std::size_t index = stretch.begin; index < stretch.end; ++index) {
        if (m_report.cancelRequested() || stopRequested()) {
            return;
        }
        stretch.inHand = index;
        const CopyPlan::Entry &entry = m_plan.entry(index);
        enterFolder(folder, copier, entry.folder, entry.reason == CopyFileReason::doesNotExist, stretch, index);

        platform::CopyResult result;
        if (!folder.source) {
            result.stage = platform::CopyStage::ReadSource;
            result.error = folder.sourceError;
        } else if (!folder.target) {
            result.stage = platform::CopyStage::CreateTemporary;
            result.error = folder.targetError;
        } else {
            const char *cName = m_plan.cName(index);
            result = copier.copy(folder.source.get(), cName, entry.type, folder.target.get(), cName,
                                 entry.reason != CopyFileReason::doesNotExist);
        }
        if (result.ok()) {
            m_noRoomInARow.store(0, std::memory_order_relaxed);
            m_pacer->written(result.bytesCopied);
            m_outcomes[index] = Outcome::Copied;
            stretch.bytesCopied += std::max<std::int64_t>(result.bytesCopied, 0);
            if (result.pendingToken != 0 || result.pendingFd >= 0) {
                m_placer->add(index, result);
            }
            continue;
        }
        const Outcome outcome = classify(index, result);
        m_outcomes[index] = outcome;
        if (outcome == Outcome::VolumeFailed) {
            stopForVolume(VolumeStop::gone);
            return;
        }
        if (outcome == Outcome::NoRoom) {
            // One such failure at a time: once the volume is found full, the
            // copies that ran out of room beside it are told by that one line.
            std::lock_guard<std::mutex> noRoom(m_noRoomLock);
            if (m_volumeStop.load() == VolumeStop::full) {
                return;
            }
            stretch.errors.emplace_back(index, QStringLiteral("Failed to copy file ") + describeFailure(index, result));
            if (noRoomLeft()) {
                stopForVolume(VolumeStop::full);
                return;
            }
            continue;
        }
        m_noRoomInARow.store(0, std::memory_order_relaxed);
        if (result.stage == platform::CopyStage::RemoveOld) {
            stretch.errors.emplace_back(index, QStringLiteral("Failed to remove existing file ")
                                                   + display(m_plan.describe(index, m_volume.nativePath()).target)
                                                   + QStringLiteral(": ") + platform::describeFileError(result.error));
        }
        stretch.errors.emplace_back(index, QStringLiteral("Failed to copy file ") + describeFailure(index, result));
    }
}

bool PlanCopier::stopRequested()
{
    return m_stop.load(std::memory_order_relaxed);
}

void PlanCopier::noteFailure(Stretch &stretch, const std::exception &failure) noexcept
{
    try {
        const bool memory = dynamic_cast<const std::bad_alloc *>(&failure) != nullptr;
        const QString reason = memory ? QStringLiteral("there is not enough memory")
                                      : QString::fromLocal8Bit(failure.what());
        stretch.cutShort = true;
        const std::size_t index = std::min(stretch.inHand, stretch.end - 1);
        m_outcomes[index] = Outcome::Failed;
        stretch.errors.emplace_back(index, QStringLiteral("Failed to copy file ")
                                               + display(m_plan.describe(index, m_volume.nativePath()).source)
                                               + QStringLiteral(": ") + reason);
    } catch (...) {
        // Not even the message could be made; the entry stays unreported.
    }
}

PlanCopier::Outcome PlanCopier::classify(std::size_t index, const platform::CopyResult &result) const
{
    using platform::CopyStage;
    if (result.stage == CopyStage::None || result.stage == CopyStage::ReadSource
        || result.stage == CopyStage::Unsupported || result.stage == CopyStage::TooLarge) {
        return Outcome::Failed; // the item's own trouble
    }
    if (isVolumeError(result.error)) {
        return Outcome::VolumeFailed;
    }
    if (result.error == ENOSPC || result.error == EDQUOT) {
        return Outcome::NoRoom;
    }
    if ((result.stage == CopyStage::Write || result.stage == CopyStage::CreateTemporary)
        && lacksRoomFor(m_plan.entry(index).size())) {
        return Outcome::NoRoom;
    }
    return m_volume.isReachable() ? Outcome::FailedOnVolume : Outcome::VolumeFailed;
}

bool PlanCopier::lacksRoomFor(std::int64_t bytes) const
{
    const std::int64_t available = m_volume.availableBytes();
    return available >= 0 && available < std::max<std::int64_t>(bytes, 1);
}

bool PlanCopier::noRoomLeft()
{
    if (m_noRoomInARow.fetch_add(1, std::memory_order_relaxed) + 1 >= kNoRoomInARow) {
        return true;
    }
    const std::int64_t available = m_volume.availableBytes();
    if (available < 0) {
        return false;
    }
    auto fits = [&](std::size_t i) {
        return m_outcomes[i].load(std::memory_order_relaxed) == Outcome::NotAttempted
            && m_plan.entry(i).size() <= available;
    };
    if (m_fitsAt < m_plan.size() && fits(m_fitsAt)) {
        return false;
    }
    // Still to copy: what no worker has finished, in the stretches not yet
    // done; the other workers' files in hand count too. Everything before
    // the first open stretch has been tried.
    std::size_t from = m_plan.size();
    {
        std::lock_guard<std::mutex> locker(m_lock);
        while (m_firstOpenStretch < m_stretches.size() && m_stretches[m_firstOpenStretch].done) {
            ++m_firstOpenStretch;
        }
        if (m_firstOpenStretch < m_stretches.size()) {
            from = m_stretches[m_firstOpenStretch].begin;
        }
    }
    bool anyLeft = false; // with nothing left the run ends by itself
    for (std::size_t i = from; i < m_plan.size(); ++i) {
        if (m_outcomes[i].load(std::memory_order_relaxed) != Outcome::NotAttempted) {
            continue;
        }
        anyLeft = true;
        if (m_plan.entry(i).size() <= available) {
            m_fitsAt = i;
            return false;
        }
    }
    return anyLeft;
}

QString PlanCopier::describeFailure(std::size_t index, const platform::CopyResult &result) const
{
    using platform::CopyStage;
    const CopyPlan::Entry &entry = m_plan.entry(index);
    // Some FAT drivers report a full volume as "operation not permitted".
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
        } else if (result.stage == CopyStage::Write && result.error != ENOSPC && lacksRoomFor(entry.size())) {
            reason = platform::describeFileError(ENOSPC);
        } else {
            reason = platform::describeFileError(result.error);
        }
        break;
    }
    }
    return display(paths.source) + QStringLiteral(": ") + reason;
}
