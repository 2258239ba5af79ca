#pragma once

#include "backup/copyplan.h"
#include "platform/filecopier.h"
#include "platform/uniquefd.h"

#include <vector>

class BackupVolume;
class RunReport;

/// The copy phase of a run: carries out the plan in order. Each missing
/// folder on the volume is made once; each file is copied atomically (see
/// platform::FileCopier) and temporary files of an interrupted earlier run
/// are removed from every folder written to.
class PlanCopier
{
public:
    PlanCopier(RunReport &report, const BackupVolume &volume, const CopyPlan &plan);

    void run();

    [[nodiscard]] quint64 itemsBackedUp() const { return m_itemsBackedUp; }
    [[nodiscard]] quint64 bytesCopied() const { return m_bytesCopied; }
    [[nodiscard]] bool cancelSeen() const { return m_cancelSeen; }

private:
    // Open descriptors of the folder the current entries are in.
    struct FolderHandles
    {
        std::int64_t index = -1;
        platform::UniqueFd source;
        int sourceError = 0;
        platform::UniqueFd target;
        int targetError = 0;
    };

    void enterFolder(std::uint32_t folder, bool create);
    /// True when the entry was copied.
    bool copyEntry(std::size_t index);
    [[nodiscard]] QString describeFailure(std::size_t index, const platform::CopyResult &result) const;

    RunReport &m_report;
    const BackupVolume &m_volume;
    const CopyPlan &m_plan;
    platform::FileCopier m_copier;
    FolderHandles m_folder;
    std::vector<bool> m_cleaned; // stale temporaries removed from this folder
    quint64 m_itemsBackedUp = 0;
    quint64 m_bytesCopied = 0;
    bool m_cancelSeen = false;
};
