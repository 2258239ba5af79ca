#include "backup/backuprun.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "backup/displayformat.h"
#include "backup/plancopier.h"
#include "backup/runreport.h"
#include "backup/sourcescanner.h"
#include "platform/computername.h"
#include "platform/linuxvolumetable.h"
#include "platform/preferences.h"
#include "platform/volumeeject.h"
#include "volumes/volumevalidator.h"

#include <memory>

using displayformat::byteCount;
using displayformat::count;

BackupRun::BackupRun(const BackupScript &script, BackupThread &job)
    : m_script(script)
    , m_job(job)
{
}

void BackupRun::execute()
{
    RunReport report(m_job);
    // A set that names its destination writes only to the volume carrying
    // its UUID: another stick mounted at the same path (with the same label,
    // say) counts as the destination not being connected.
    const bool isDestination = m_script.volumeUUID.isEmpty()
        || volumes::volumeCarriesUuid(platform::LinuxVolumeTable(), m_script.volumePath, m_script.volumeUUID);
    BackupVolume volume(isDestination ? m_script.volumePath : QString(), platform::computerName());
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
    BackupOutcome outcome;
    if (!plan.isEmpty() && !cancelSeen) {
        m_job.setStatus(BackupThreadStatusValue::backingUp);
        report.log(QStringLiteral("Backing up %1 items.").arg(count(plan.size())));
        PlanCopier copier(report, volume, plan);
        copier.run();
        cancelSeen = copier.cancelSeen();
        outcome.itemsBackedUp = copier.itemsBackedUp();
        outcome.bytesBackedUp = copier.bytesCopied();
        const QString copySummary = QStringLiteral("Items backed up %1, %2. Errors %3")
                                        .arg(count(copier.itemsBackedUp()), byteCount(copier.bytesCopied()),
                                             count(report.errorCount()));
        m_job.setProgressMessage(copySummary);
        report.log(copySummary);
    }

    // Close.
    volume.close();
    if (platform::boolPreference(QStringLiteral("autoEjectOnComplete"), true)) {
        // Acts only on a mount point, never on a stranger's volume; its
        // answer does not change the log.
        outcome.ejectTried = true;
        outcome.ejectError = isDestination ? platform::unmountAndEject(m_script.volumePath)
                                           : QStringLiteral("The backup volume is not connected.");
        report.log(QStringLiteral("Ejected volume"));
    }
    m_job.setOutcome(outcome);
    m_job.setProgressTitle(QStringLiteral("Backup Process finished"));
    if (!cancelSeen) {
        m_job.setStatus(BackupThreadStatusValue::completed);
    }
}
