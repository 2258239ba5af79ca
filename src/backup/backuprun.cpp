#include "backup/backuprun.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "backup/displayformat.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/sourcescanner.h"
#include "platform/fileerror.h"
#include "platform/memoryarenas.h"

#include <exception>
#include <memory>
#include <new>
#include <utility>

using displayformat::byteCount;
using displayformat::count;

BackupRun::BackupRun(const BackupScript &script, BackupThread &job, RunServices machine)
    : m_script(script)
    , m_job(job)
    , m_machine(std::move(machine))
{
}

void BackupRun::execute()
{
    RunReport report(m_job);
    bool cancelSeen = false;
    bool isDestination = false;
    try {
        // A set that names its destination writes only to the volume carrying
        // its UUID: another stick mounted at the same path (with the same
        // label, say) counts as the destination not being connected.
        isDestination = m_script.volumeUUID.isEmpty()
            || m_machine.volumeCarriesUuid(m_script.volumePath, m_script.volumeUUID);
        BackupVolume volume(isDestination ? m_script.volumePath : QString(), m_machine);
        cancelSeen = scanAndCopy(report, volume);
    } catch (const std::bad_alloc &) {
        report.error(QStringLiteral("The backup stopped early: there is not enough memory"));
    } catch (const std::exception &failure) {
        report.error(QStringLiteral("The backup stopped early: ") + QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        report.error(QStringLiteral("The backup stopped early because of an unexpected failure"));
    }
    if (!cancelSeen && report.cancelRequested()) {
        cancelSeen = true;
    }
    if (cancelSeen) {
        m_outcome.stopReason = BackupOutcome::StopReason::cancelled;
        report.log(QStringLiteral("The backup was cancelled before it finished."));
    }
    // The plan is gone; its pages need not stay beside what the eject and
    // the open program go on to use.
    platform::returnFreedMemory();
    try {
        close(report, isDestination);
    } catch (...) {
        // The close's own steps allocate little; should one of them fail the
        // job still ends.
        m_job.setProgressTitle(QStringLiteral("Backup Process finished"));
    }
    if (!cancelSeen) {
        // A run the volume stopped did not complete: every observer (the
        // row, the notification, the command line) sees it by its status.
        const bool stopped = m_outcome.stopReason == BackupOutcome::StopReason::volumeFull
            || m_outcome.stopReason == BackupOutcome::StopReason::volumeGone;
        m_job.setStatus(stopped ? BackupThreadStatusValue::error : BackupThreadStatusValue::completed);
    }
}

bool BackupRun::scanAndCopy(RunReport &report, BackupVolume &volume)
{
    CopyPlan plan;
    bool cancelSeen = false;

    // Scan.
    quint64 itemsChecked = 0;
    {
        SourceScanner scanner(report, volume, plan);
        for (const QString &source : m_script.sourcePaths) {
            scanner.scan(source);
            if (scanner.cancelSeen()) {
                break;
            }
        }
        itemsChecked = scanner.itemsChecked();
        cancelSeen = scanner.cancelSeen();
    }
    const QString scanSummary = QStringLiteral("Items checked %1, %2 to copy, requires %3")
                                    .arg(count(itemsChecked), count(plan.size()), byteCount(plan.bytesToCopy()));
    m_job.setProgressMessage(scanSummary);
    report.log(scanSummary);

    // Copy. A cancel that came after the last item of the scan still counts:
    // otherwise setting backingUp here would undo it.
    if (!plan.isEmpty() && !cancelSeen && report.cancelRequested()) {
        cancelSeen = true;
    }
    if (!plan.isEmpty() && !cancelSeen) {
        m_job.setStatus(BackupThreadStatusValue::backingUp);
        report.log(QStringLiteral("Backing up %1 items.").arg(count(plan.size())));
        PlanCopier copier(report, volume, plan);
        copier.run();
        cancelSeen = copier.cancelSeen();
        reportVolumeStop(report, copier);
        // On the medium before the summary: a stick pulled after the run
        // says it finished must hold what the summary counts, the names the
        // copies took included.
        if (copier.itemsBackedUp() > 0 && volume.isOpen()
            && copier.volumeStop() != PlanCopier::VolumeStop::gone) {
            if (const int error = volume.flush(); error != 0) {
                report.error(QStringLiteral("Failed to write the copies onto ") + volume.path() + QStringLiteral(": ")
                             + platform::describeFileError(error));
            }
        }
        if (volume.flushMissedDevice()) {
            report.log(QStringLiteral("The file system of \"%1\" cannot be asked to write its data to the device: "
                                      "eject the volume before unplugging it.")
                           .arg(m_script.volumeName));
        }
        m_outcome.itemsBackedUp = copier.itemsBackedUp();
        m_outcome.bytesBackedUp = copier.bytesCopied();
        const QString copySummary = QStringLiteral("Items backed up %1, %2. Errors %3")
                                        .arg(count(copier.itemsBackedUp()), byteCount(copier.bytesCopied()),
                                             count(report.errorCount()));
        m_job.setProgressMessage(copySummary);
        report.log(copySummary);
    }
    volume.close();
    return cancelSeen;
}

void BackupRun::reportVolumeStop(RunReport &report, const PlanCopier &copier)
{
    switch (copier.volumeStop()) {
    case PlanCopier::VolumeStop::none:
        return;
    case PlanCopier::VolumeStop::full:
        m_outcome.stopReason = BackupOutcome::StopReason::volumeFull;
        report.error(QStringLiteral("The volume \"%1\" is full: %2 items (%3) were not copied.")
                         .arg(m_script.volumeName, count(copier.itemsNotCopied()),
                              byteCount(copier.bytesNotCopied())));
        return;
    case PlanCopier::VolumeStop::gone:
        m_outcome.stopReason = BackupOutcome::StopReason::volumeGone;
        report.error(QStringLiteral("The volume \"%1\" stopped accepting writes: %2 items were not copied.")
                         .arg(m_script.volumeName, count(copier.itemsNotCopied())));
        return;
    }
}

void BackupRun::close(RunReport &report, bool isDestination)
{
    if (m_outcome.stopReason == BackupOutcome::StopReason::volumeGone) {
        // Nothing to eject, or a device that no longer answers.
        report.log(QStringLiteral("The volume was not ejected: it stopped accepting writes."));
    } else if (m_machine.autoEjectOnComplete()) {
        // Acts only on the destination itself, its UUID checked again right
        // before: the stick may have gone and another one taken its mount
        // point since the start. Its answer does not change the log; it is
        // kept for the desktop notification.
        m_outcome.ejectTried = true;
        if (!isDestination) {
            m_outcome.ejectError = QStringLiteral("The backup volume is not connected.");
        } else {
            m_outcome.ejectError = m_machine.eject(m_script.volumePath, m_script.volumeUUID);
        }
        report.log(QStringLiteral("Ejected volume"));
    }
    m_job.setOutcome(m_outcome);
    m_job.setProgressTitle(QStringLiteral("Backup Process finished"));
}
