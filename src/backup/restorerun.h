#pragma once

#include "backup/backupthread.h"
#include "backup/restoreplan.h"
#include "platform/directoryreader.h"
#include "platform/fileattributes.h"
#include "platform/uniquefd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class RunReport;
namespace platform {
class RestoreWriter;
}

/// What to bring back from a backup volume, and where to.
struct RestoreRequest
{
    /// What becomes of a backed-up file whose local counterpart differs.
    enum class Difference {
        beside, // its copy is restored beside it, as "name (restored).ext"
        skip,   // it is left alone and nothing is restored for it
    };

    QString volumePath;  ///< where the backup volume is mounted
    QString volumeName;  ///< its name, for the texts
    QString volumeUUID;  ///< when set, the volume at volumePath must carry it
    QString computer;    ///< the computer's folder below "/Vellory/"
    QStringList paths;   ///< original absolute paths: sources or anything below one
    QString targetFolder; ///< empty: each item goes back to its original place
    Difference difference = Difference::beside;

    /// The job's title and first log line.
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString firstLogLine() const;
};

/// The work of a restore job: reads the picked items of one computer's
/// folder on a backup volume and writes back what is missing on the
/// computer, never changing or removing a local file. A local file equal to
/// its copy (same size, times within 10 seconds) is skipped; a differing one
/// is kept, its copy restored beside it or skipped as asked. Nothing on the
/// volume is written, and no link there is followed: a damaged or hostile
/// volume cannot make it read or write outside the backup tree and the
/// target; such items are error lines.
///
/// It scans first (status `scanning`), then restores the plan (`backingUp`,
/// see RestoreCopier) and ends `completed`, or stops at a cancel.
class RestoreRun
{
public:
    RestoreRun(RestoreRequest request, BackupThread &job);
    ~RestoreRun();

    void execute();

    /// The request as a job: a restore job's kind.
    [[nodiscard]] static JobKind jobKind(const RestoreRequest &request);

private:
    bool scan(RunReport &report);
    void scanPath(RunReport &report, const QString &path);
    void scanFolder(RunReport &report, int volumeFd, std::uint32_t folder, int localFd);
    /// Plans the file or link `name` of `volumeFd` (attributes `copy`) for
    /// the local folder `localFd` (invalid: missing), unless it is there
    /// already or, differing, to be skipped.
    void consider(RunReport &report, std::uint32_t folder, int volumeFd, const QByteArray &name,
                  const platform::FileAttributes &copy, int localFd);
    [[nodiscard]] QString volumeDisplay() const;

    RestoreRequest m_request;
    BackupThread &m_job;
    platform::UniqueFd m_root; // the computer's folder on the volume
    RestorePlan m_plan;
    std::uint64_t m_itemsChecked = 0;
    bool m_cancelSeen = false;
    bool m_keepPermissions = true;
    platform::RestoreWriter *m_writer = nullptr;
    platform::DirectoryReader m_reader; // one buffer for every folder read
};
