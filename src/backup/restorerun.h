#pragma once

#include "backup/backupthread.h"
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
/// It scans first (status `scanning`), then restores the plan (`backingUp`)
/// and ends `completed`, or stops at a cancel.
class RestoreRun
{
public:
    RestoreRun(RestoreRequest request, BackupThread &job);
    ~RestoreRun();

    void execute();

    /// The request as a job: a restore job's kind.
    [[nodiscard]] static JobKind jobKind(const RestoreRequest &request);
    /// "report (restored).odt" for "report.odt"; with `attempt` > 1,
    /// "report (restored 2).odt" and so on.
    [[nodiscard]] static QByteArray besideName(const QByteArray &name, int attempt = 1);

private:
    // A folder of the plan: where it is on the volume and locally.
    struct Folder
    {
        QByteArray volumePath; // below the computer's folder
        std::uint32_t base;    // index into m_bases
        QByteArray localPath;  // below that base
    };
    // A file or link to restore.
    struct Entry
    {
        std::uint32_t folder;
        platform::FileType type;
        bool differs; // a local item of this name differs from the copy
        std::int64_t size;
        QByteArray name;
    };

    bool scan(RunReport &report);
    void scanPath(RunReport &report, const QString &path);
    void scanFolder(RunReport &report, int volumeFd, std::uint32_t folder, int localFd);
    void restorePlan(RunReport &report);
    /// Restores one entry into `localFd`; false when the run must stop.
    bool restoreEntry(RunReport &report, const Entry &entry, int volumeFd, int localFd);
    /// Whether the local item `localName` in `localFd` (attributes `local`)
    /// equals the copy `name` (attributes `copy`) in `volumeFd`.
    [[nodiscard]] static bool sameAsCopy(const platform::FileAttributes &copy, const platform::FileAttributes &local,
                                         int volumeFd, const char *name, int localFd, const char *localName);
    /// Whether an earlier restore put the copy beside its differing local
    /// counterpart already.
    [[nodiscard]] static bool alreadyBeside(const platform::FileAttributes &copy, int volumeFd, const char *name,
                                            int localFd);
    [[nodiscard]] QString localPathOf(const Folder &folder, const QByteArray &name = QByteArray()) const;
    [[nodiscard]] QString volumeDisplay() const;

    RestoreRequest m_request;
    BackupThread &m_job;
    platform::UniqueFd m_root; // the computer's folder on the volume
    std::vector<QByteArray> m_bases;
    std::vector<Folder> m_folders;
    std::vector<Entry> m_entries;
    std::uint64_t m_bytesToRestore = 0;
    std::uint64_t m_itemsChecked = 0;
    std::uint64_t m_itemsRestored = 0;
    std::uint64_t m_bytesRestored = 0;
    bool m_cancelSeen = false;
    bool m_keepPermissions = true;
    platform::RestoreWriter *m_writer = nullptr;
};
