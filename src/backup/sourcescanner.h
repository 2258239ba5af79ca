#pragma once

#include "backup/copyplan.h"
#include "platform/directoryreader.h"

#include <QByteArray>
#include <QString>

class BackupVolume;
class RunReport;

/// The scan of a run: walks each source (hidden items included, symbolic
/// links never followed into folders), reads each item's attributes once and
/// its copy's once through the copy's folder, and plans every file that is
/// missing on the volume, differs in size, or is more than 10 seconds newer.
class SourceScanner
{
public:
    SourceScanner(RunReport &report, const BackupVolume &volume, CopyPlan &plan);

    /// Scans one source: a folder, or a single file.
    void scan(const QString &sourcePath);

    /// Files whose copy was found on the volume and compared.
    [[nodiscard]] quint64 itemsChecked() const { return m_itemsChecked; }
    /// A status read found the job cancelled: the scan is over.
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }

private:
    // A folder being walked; it joins the plan with its first planned file.
    struct FolderCursor
    {
        const QByteArray &sourcePath;
        const QByteArray &targetPath;
        std::int64_t planFolder = -1;
        bool volumeChecked = false; // the volume was found still mounted
    };

    /// Returns false when the rest of the source is to be skipped.
    bool walk(int sourceFd, int targetFd, const QByteArray &sourcePath, const QByteArray &targetPath);
    bool consider(int targetDirFd, const char *name, const platform::FileAttributes &source,
                  FolderCursor &folder);

    RunReport &m_report;
    const BackupVolume &m_volume;
    CopyPlan &m_plan;
    platform::DirectoryReader m_reader;
    quint64 m_itemsChecked = 0;
    bool m_cancelSeen = false;
};
