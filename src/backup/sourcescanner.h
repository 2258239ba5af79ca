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
#include <memory>
#include <mutex>
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
class SourceScanner
{
public:
    SourceScanner(RunReport &report, const BackupVolume &volume, CopyPlan &plan, int workers = defaultWorkers());
    ~SourceScanner();

    /// Scans one source: a folder, or a single file.
    void scan(const QString &sourcePath);

    /// Files whose copy was found on the volume and compared.
    [[nodiscard]] quint64 itemsChecked() const { return m_checked.load(); }
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
        bool done = false;
    };

    // A folder waiting to be read, opened through its parent's handles.
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
    bool compare(int targetFd, const char *name, const platform::FileAttributes &item, bool &volumeChecked,
                 CopyFileReason &reason);
    void readFolder(FolderJob &job, platform::DirectoryReader &reader, platform::DirectoryListing &listing);
    [[nodiscard]] FolderFindings &slot(std::size_t index);

    RunReport &m_report;
    const BackupVolume &m_volume;
    CopyPlan &m_plan;
    const int m_workers;
    std::atomic<quint64> m_checked{0};
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
};
