#pragma once

#include "backup/copyplan.h"
#include "platform/directoryreader.h"
#include "platform/fileattributes.h"
#include "platform/uniquefd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class BackupVolume;
class RunReport;

/// The scan of a run: walks each source (hidden items included, symbolic
/// links never followed into folders), reads each item's attributes once and
/// its copy's once through the copy's folder, and plans every file that is
/// missing on the volume, differs in size, or is more than 10 seconds newer.
///
/// Several workers read folders at once; the calling thread takes their
/// findings folder by folder in the order of a plain depth-first walk (names
/// in byte order), so the plan and the log are those of a sequential scan.
///
/// The descriptors held stay within a budget taken from the process's limit,
/// however deep the tree and however many folders wait their turn: a waiting
/// folder keeps its parent's handles only while the budget allows, and is
/// otherwise opened again by its path below the source.
///
/// On a volume that folds case (FAT, exFAT, casefold folders), the second of
/// two names in one folder that the volume would take for the same name is
/// an error and is not planned; the first is backed up as usual.
class SourceScanner
{
public:
    SourceScanner(RunReport &report, const BackupVolume &volume, CopyPlan &plan, int workers = defaultWorkers(),
                  int openFileLimit = -1);
    ~SourceScanner();

    /// Plans the files whose copy is current instead of those to copy (for
    /// a verify); those to copy are then only counted (due()).
    void setPlanCurrent(bool planCurrent) { m_planCurrent = planCurrent; }

    /// Scans one source: a folder, or a single file.
    void scan(const QString &sourcePath);

    /// Files whose copy was found on the volume and compared.
    [[nodiscard]] quint64 itemsChecked() const { return m_checked.load(); }
    /// With setPlanCurrent(): files whose copy is missing or out of date.
    [[nodiscard]] quint64 due() const { return m_due.load(); }
    /// A status read found the job cancelled: the scan is over.
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }

    /// Folders read at once: one per core, at least two.
    [[nodiscard]] static int defaultWorkers();

private:
    // One finding of a folder, in the folder's name order.
    struct Finding
    {
        enum class Kind : std::uint8_t {
            Planned,     // a file to copy
            Folder,      // a sub-folder: its findings come here
            Error,       // a log line
            VolumeGone,  // the volume is no longer mounted: the source ends
            Cancelled,   // the job was cancelled: the scan ends
        };
        Kind kind;
        CopyFileReason reason = CopyFileReason::none;
        std::uint8_t type = 0;     // platform::FileType of a planned file
        std::uint32_t index = 0;   // name offset, sub-folder slot or error index
        std::uint32_t length = 0;  // name length
        std::int64_t size = 0;
    };

    // What the workers found in one folder.
    struct FolderFindings
    {
        QByteArray sourcePath;
        QByteArray targetPath;
        QByteArray names; // planned names, each NUL-terminated
        std::vector<Finding> findings;
        QStringList errors;
        bool foldsCase = false;      // its copy's folder folds case
        bool childrenQueued = false; // its sub-folders wait to be read
        bool done = false;
    };

    // A folder waiting to be read, opened through its parent's handles, or
    // (without them) by its path below the source.
    struct FolderJob
    {
        std::size_t slot;
        std::shared_ptr<platform::UniqueFd> parentSource;
        std::shared_ptr<platform::UniqueFd> parentTarget;
        QByteArray name;
    };

    void scanFolder(const QByteArray &path, const QString &displayPath, platform::UniqueFd target);
    /// Takes the findings of `slot` and of its sub-folders into the plan.
    /// Returns false when the rest of the source is to be skipped.
    bool take(std::size_t slot);
    void work();
    /// Why `item` needs copying, from its copy in `targetFd`; false when
    /// the copy is missing and so is the volume.
    /// Whether a file compared as `reason` goes into the plan.
    [[nodiscard]] bool wanted(CopyFileReason reason);
    bool compare(int targetFd, const char *name, const platform::FileAttributes &item, bool &volumeChecked,
                 CopyFileReason &reason);
    void readFolder(FolderJob &job, platform::DirectoryReader &reader, platform::DirectoryListing &listing);
    /// Adds an error (with `message`, when there is one) or an ending to the
    /// findings of `out`.
    static void fail(FolderFindings &out, Finding::Kind kind, const QString &message = QString());
    /// Skips the rest of the source for `why`, unless it is already skipped.
    void abandon(FolderFindings &out, Finding::Kind why);
    /// Whether the rest of the source is skipped; says so in `out` when it is.
    bool abandoned(FolderFindings &out);
    /// Opens the folder of `job` and its copy (`target`, not valid when
    /// there is none) and reads its names into `listing`, sorted; false, with
    /// an error in `out`, when it cannot be read.
    bool openFolder(FolderJob &job, FolderFindings &out, platform::DirectoryReader &reader,
                    platform::DirectoryListing &listing, platform::UniqueFd &sourceFd,
                    std::shared_ptr<platform::UniqueFd> &target);
    /// A new slot for the sub-folder `name` of `parent`, noted in its
    /// findings.
    std::size_t addSubfolder(FolderFindings &parent, QByteArrayView name);
    /// Adds the file `name` to copy for `reason` to the findings of `out`.
    static void addPlanned(FolderFindings &out, QByteArrayView name, const platform::FileAttributes &item,
                           CopyFileReason reason);
    /// Puts the sub-folders of `out` on the stack, with their parent's
    /// handles when the budget lets them keep them.
    void queueChildren(FolderFindings &out, std::shared_ptr<platform::UniqueFd> &sourceFolder,
                       std::shared_ptr<platform::UniqueFd> &target,
                       std::vector<std::pair<std::size_t, QByteArray>> &children);
    /// Marks the names of `listing` that fold onto an earlier one.
    static void findCaseTwins(const platform::DirectoryListing &listing, std::vector<bool> &twins);
    /// Whether the copy of source folder `path` would fold case.
    [[nodiscard]] bool targetFoldsCase(const QByteArray &targetPath) const;
    /// Handles a folder's waiting sub-folders may keep, or none when the
    /// budget is spent.
    [[nodiscard]] std::pair<std::shared_ptr<platform::UniqueFd>, std::shared_ptr<platform::UniqueFd>>
    park(std::shared_ptr<platform::UniqueFd> &source, std::shared_ptr<platform::UniqueFd> &target);
    void finishWorkers(std::vector<std::thread> &workers);
    void noteFailure(std::size_t slot, const std::exception &failure) noexcept;
    [[nodiscard]] QByteArray belowSource(const QByteArray &path) const;
    [[nodiscard]] FolderFindings &slot(std::size_t index);

    RunReport &m_report;
    const BackupVolume &m_volume;
    CopyPlan &m_plan;
    int m_workers;
    int m_parkBudget = 0; // folders whose handles waiting sub-folders may keep
    std::atomic<quint64> m_checked{0};
    std::atomic<quint64> m_due{0};
    bool m_planCurrent = false;
    bool m_cancelSeen = false;

    // Shared with the workers during one folder source.
    std::mutex m_lock;
    std::condition_variable m_jobReady;
    std::condition_variable m_folderDone;
    std::deque<FolderFindings> m_slots;   // guarded by m_lock (addresses stay put)
    std::vector<FolderJob> m_jobs;        // a stack: the walk's next folder on top
    int m_busy = 0;                       // workers reading a folder
    bool m_finished = false;              // no more jobs will come
    std::atomic<std::uint8_t> m_abandon{0}; // why the rest of the source is skipped (a Finding::Kind)
    std::atomic<int> m_parked{0};           // folders whose handles are kept for waiting sub-folders
    QByteArray m_rootPath;                  // the folder source being scanned
    std::shared_ptr<platform::UniqueFd> m_rootSource;
    std::shared_ptr<platform::UniqueFd> m_rootTarget;
};
