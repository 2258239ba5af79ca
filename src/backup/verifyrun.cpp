#include "backup/verifyrun.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "backup/displayformat.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/sourcescanner.h"
#include "platform/directoryops.h"
#include "platform/fileerror.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <thread>
#include <utility>

using displayformat::byteCount;
using displayformat::count;

namespace {

constexpr std::size_t kChunk = 64;
// Reading a stick waits on the device far more than on a processor.
constexpr int kWorkers = 4;

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

} // namespace

VerifyRun::VerifyRun(const BackupScript &script, BackupThread &job, RunServices machine)
    : m_script(script)
    , m_job(job)
    , m_machine(std::move(machine))
{
}

JobKind VerifyRun::jobKind(const QString &volumeName, RunServices machine)
{
    JobKind kind;
    kind.title = QStringLiteral("Verifying \"%1\"").arg(volumeName);
    kind.firstLogLine = QStringLiteral("Verify Initialized on ") + volumeName;
    kind.work = [machine = std::move(machine)](BackupThread &job) { VerifyRun(job.script(), job, machine).execute(); };
    return kind;
}

void VerifyRun::execute()
{
    RunReport report(m_job);
    try {
        // Only the volume carrying the set's UUID is the destination.
        const bool isDestination = m_script.volumeUUID.isEmpty()
            || m_machine.volumeCarriesUuid(m_script.volumePath, m_script.volumeUUID);
        BackupVolume volume(isDestination ? m_script.volumePath : QString(), m_machine);
        verify(report, volume);
    } catch (const std::bad_alloc &) {
        report.error(QStringLiteral("The verify stopped early: there is not enough memory"));
    } catch (const std::exception &failure) {
        report.error(QStringLiteral("The verify stopped early: ") + QString::fromLocal8Bit(failure.what()));
    }
    if (!m_cancelSeen && report.cancelRequested()) {
        m_cancelSeen = true;
    }
    if (m_cancelSeen) {
        report.log(QStringLiteral("The verify was cancelled before it finished."));
    }
    m_job.setProgressTitle(QStringLiteral("Verify Process finished"));
    if (!m_cancelSeen) {
        m_job.setStatus(BackupThreadStatusValue::completed);
    }
}

void VerifyRun::verify(RunReport &report, BackupVolume &volume)
{
    CopyPlan plan;
    {
        SourceScanner scanner(report, volume, plan);
        scanner.setPlanCurrent(true);
        for (const QString &source : m_script.sourcePaths) {
            scanner.scan(source);
            if (scanner.cancelSeen()) {
                break;
            }
        }
        m_cancelSeen = scanner.cancelSeen();
        m_due = scanner.due();
        const QString summary = QStringLiteral("Items checked %1, %2 to verify (%3), %4 due for backup")
                                    .arg(count(scanner.itemsChecked()), count(plan.size()),
                                         byteCount(plan.bytesToCopy()), count(m_due));
        m_job.setProgressMessage(summary);
        report.log(summary);
    }
    if (plan.isEmpty() || m_cancelSeen || report.cancelRequested()) {
        m_cancelSeen = m_cancelSeen || report.cancelRequested();
        volume.close();
        return;
    }
    m_job.setStatus(BackupThreadStatusValue::backingUp);
    report.log(QStringLiteral("Verifying %1 copies.").arg(count(plan.size())));
    if (volume.runsInUserSpace() && !platform::dropDeviceCache(volume.fd())) {
        report.log(QStringLiteral("The file system of \"%1\" runs in user space: the copies were read through "
                                  "its own cache, which may hold what was written rather than what the device keeps.")
                       .arg(m_script.volumeName));
    }
    compareAll(report, volume, plan);
    if (m_untrusted) {
        report.error(QStringLiteral("More than %1 copies on \"%2\" differ from their files: the volume may be failing "
                                    "or counterfeit. Nothing was recopied; test the volume before using it again.")
                         .arg(kMostToRecopy)
                         .arg(m_script.volumeName));
    } else if (!m_differing.empty() && !m_cancelSeen) {
        recopy(report, volume, plan);
    }
    const QString summary = QStringLiteral("Items verified %1, %2. Errors %3. Due for backup %4")
                                .arg(count(m_verified), byteCount(m_bytesRead.load()), count(report.errorCount()),
                                     count(m_due));
    m_job.setProgressMessage(summary);
    report.log(summary);
    volume.close();
}

void VerifyRun::compareAll(RunReport &report, const BackupVolume &volume, const CopyPlan &plan)
{
    const std::size_t chunks = (plan.size() + kChunk - 1) / kChunk;
    m_verdicts.assign(plan.size(), Verdict::Pending);
    m_chunksDone.assign(chunks, false);
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers && std::size_t(i) < chunks; ++i) {
        try {
            workers.emplace_back([this, &volume, &plan] { work(volume, plan); });
        } catch (const std::system_error &) {
            break;
        }
    }
    if (workers.empty()) {
        work(volume, plan);
    }
    auto stopWorkers = [&] {
        m_stop = true;
        for (std::thread &worker : workers) {
            worker.join();
        }
        workers.clear();
    };
    auto lastProgress = std::chrono::steady_clock::time_point();
    // Told in plan order as the chunks complete, like a backup's copies.
    for (std::size_t chunk = 0; chunk < chunks && !m_stop; ++chunk) {
        {
            std::unique_lock<std::mutex> locker(m_lock);
            m_chunkDone.wait(locker, [this, chunk] { return bool(m_chunksDone[chunk]); });
        }
        const std::size_t end = std::min(plan.size(), (chunk + 1) * kChunk);
        for (std::size_t index = chunk * kChunk; index < end; ++index) {
            if (!tell(report, plan, index)) {
                stopWorkers();
                break;
            }
        }
        if (report.cancelRequested()) {
            m_cancelSeen = true;
            stopWorkers();
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress > std::chrono::milliseconds(40) && end > 0) {
            lastProgress = now;
            m_job.setProgressMessage(
                QStringLiteral("Verifying \"%1\"...").arg(QFile::decodeName(plan.name(end - 1).toByteArray())));
            m_job.setProgressValue(float(end) / float(plan.size()));
        }
    }
    stopWorkers();
}

void VerifyRun::work(const BackupVolume &volume, const CopyPlan &plan)
{
    platform::ContentComparer comparer;
    std::int64_t openFolder = -1;
    platform::OpenResult source;
    platform::OpenResult copy;
    const std::size_t chunks = m_chunksDone.size();
    for (std::size_t chunk = m_nextChunk++; chunk < chunks && !m_stop; chunk = m_nextChunk++) {
        const std::size_t end = std::min(plan.size(), (chunk + 1) * kChunk);
        for (std::size_t index = chunk * kChunk; index < end && !m_stop; ++index) {
            const CopyPlan::Entry &entry = plan.entry(index);
            if (std::int64_t(entry.folder) != openFolder) {
                openFolder = entry.folder;
                source = platform::openDirectory(plan.folder(entry.folder).sourcePath);
                copy = platform::openDirectoryBeneath(volume.fd(), plan.folder(entry.folder).targetPath);
            }
            platform::Comparison result;
            if (!copy.fd) {
                result.kind = platform::Comparison::Kind::CopyUnreadable;
                result.error = copy.error;
            } else if (!source.fd) {
                result.kind = platform::Comparison::Kind::SourceUnreadable;
                result.error = source.error;
            } else {
                result = comparer.compare(source.fd.get(), copy.fd.get(), plan.cName(index), entry.type);
            }
            m_bytesRead += std::uint64_t(std::max<std::int64_t>(result.bytes, 0));
            using Kind = platform::Comparison::Kind;
            Verdict verdict = Verdict::Same;
            switch (result.kind) {
            case Kind::Same: verdict = Verdict::Same; break;
            case Kind::Differs: verdict = Verdict::Differs; break;
            case Kind::SourceChanged: verdict = Verdict::Due; break;
            case Kind::SourceUnreadable: verdict = Verdict::SourceUnreadable; break;
            case Kind::CopyUnreadable: verdict = Verdict::CopyUnreadable; break;
            }
            if (result.error != 0) {
                std::lock_guard<std::mutex> locker(m_lock);
                m_errors[index] = result.error;
            }
            m_verdicts[index] = verdict;
        }
        {
            std::lock_guard<std::mutex> locker(m_lock);
            m_chunksDone[chunk] = true;
        }
        m_chunkDone.notify_all();
    }
}

bool VerifyRun::tell(RunReport &report, const CopyPlan &plan, std::size_t index)
{
    const Verdict verdict = m_verdicts[index];
    if (verdict == Verdict::Pending) {
        return false; // the workers stopped before it
    }
    const QString source = display(plan.describe(index, QByteArray()).source);
    int error = 0;
    if (verdict == Verdict::SourceUnreadable || verdict == Verdict::CopyUnreadable) {
        std::lock_guard<std::mutex> locker(m_lock);
        error = m_errors[index];
    }
    switch (verdict) {
    case Verdict::Pending:
        break;
    case Verdict::Same:
        ++m_verified;
        break;
    case Verdict::Due:
        ++m_due;
        break;
    case Verdict::SourceUnreadable:
        report.error(QStringLiteral("Can't read %1 to compare it with its copy: %2")
                         .arg(source, platform::describeFileError(error)));
        break;
    case Verdict::CopyUnreadable:
        ++m_verified;
        ++m_unreadable;
        report.error(QStringLiteral("The copy of %1 could not be read: %2")
                         .arg(source, platform::describeFileError(error)));
        break;
    case Verdict::Differs:
        ++m_verified;
        m_differing.push_back(index);
        if (m_differing.size() > std::size_t(kMostToRecopy)) {
            m_untrusted = true;
            return false;
        }
        report.error(QStringLiteral("The copy of %1 differs from the file").arg(source));
        break;
    }
    return true;
}

void VerifyRun::recopy(RunReport &report, BackupVolume &volume, const CopyPlan &plan)
{
    // The same safe replace as a backup: each new copy takes the old one's
    // name only once its data is on the medium.
    CopyPlan again;
    std::int64_t folder = -1;
    std::uint32_t againFolder = 0;
    for (const std::size_t index : m_differing) {
        const CopyPlan::Entry &entry = plan.entry(index);
        if (std::int64_t(entry.folder) != folder) {
            folder = entry.folder;
            againFolder = again.addFolder(plan.folder(entry.folder).sourcePath, plan.folder(entry.folder).targetPath);
        }
        again.add(againFolder, plan.name(index), CopyFileReason::sizeModified, entry.type, entry.size());
    }
    report.log(QStringLiteral("Recopying %1 copies that differ.").arg(count(again.size())));
    PlanCopier copier(report, volume, again);
    copier.run();
    if (copier.itemsBackedUp() > 0) {
        if (const int error = volume.flush(); error != 0) {
            report.error(QStringLiteral("Failed to write the copies onto ") + volume.path() + QStringLiteral(": ")
                         + platform::describeFileError(error));
        }
    }
    report.log(QStringLiteral("Recopied %1 of %2 copies.").arg(count(copier.itemsBackedUp()), count(again.size())));
}
