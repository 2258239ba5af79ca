#include "backup/jobending.h"

#include "backup/displayformat.h"

#include <QCoreApplication>

namespace jobending {

namespace {

// The context is the one lupdate gives a tr() in this namespace, so the
// translations it lists are the ones found here.
QString tr(const char *text)
{
    return QCoreApplication::translate("jobending", text);
}

QString errors(quint64 count)
{
    return count == 1 ? tr("Completed with 1 error")
                      : tr("Completed with %1 errors").arg(displayformat::count(count));
}

} // namespace

Ending of(BackupThreadStatusValue status, quint64 errorCount)
{
    switch (status) {
    case BackupThreadStatusValue::completed:
        return errorCount == 0 ? Ending::EndedCompleted : Ending::EndedWithErrors;
    case BackupThreadStatusValue::cancelled: return Ending::EndedCancelled;
    case BackupThreadStatusValue::error: return Ending::EndedStopped;
    default: return Ending::NotEnded;
    }
}

QString text(Ending ending, quint64 errorCount, BackupOutcome::StopReason reason)
{
    switch (ending) {
    case Ending::NotEnded: return QString();
    case Ending::EndedCompleted: return tr("Completed");
    case Ending::EndedWithErrors: return errors(errorCount);
    case Ending::EndedCancelled: return tr("Cancelled");
    case Ending::EndedStopped:
        switch (reason) {
        case BackupOutcome::StopReason::volumeFull: return tr("Stopped: the volume is full");
        case BackupOutcome::StopReason::volumeGone: return tr("Stopped: the volume is gone");
        default: return tr("Stopped");
        }
    }
    return QString();
}

QString summary(Ending ending, quint64 errorCount, BackupOutcome::StopReason reason)
{
    switch (ending) {
    case Ending::NotEnded: return QString();
    case Ending::EndedCompleted: return tr("Backup completed");
    case Ending::EndedWithErrors:
        return errorCount == 1 ? tr("Backup completed with 1 error")
                               : tr("Backup completed with %1 errors").arg(displayformat::count(errorCount));
    case Ending::EndedCancelled: return tr("Backup cancelled");
    case Ending::EndedStopped:
        switch (reason) {
        case BackupOutcome::StopReason::volumeFull: return tr("Backup stopped: the volume is full");
        case BackupOutcome::StopReason::volumeGone: return tr("Backup stopped: the volume is gone");
        default: return tr("Backup stopped");
        }
    }
    return QString();
}

QString iconName(Ending ending)
{
    switch (ending) {
    case Ending::NotEnded: return QString();
    case Ending::EndedCompleted: return QStringLiteral("emblem-ok-symbolic");
    case Ending::EndedWithErrors: return QStringLiteral("dialog-warning-symbolic");
    case Ending::EndedCancelled: return QStringLiteral("process-stop-symbolic");
    case Ending::EndedStopped: return QStringLiteral("dialog-error-symbolic");
    }
    return QString();
}

} // namespace jobending
