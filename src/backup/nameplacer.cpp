#include "backup/nameplacer.h"

#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "platform/directoryops.h"

NamePlacer::NamePlacer(const BackupVolume &volume, const CopyPlan &plan, std::size_t capacity)
    : m_volume(volume)
    , m_plan(plan)
    , m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void NamePlacer::add(std::size_t index, std::uint64_t token, std::int64_t bytes)
{
    bool full = false;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_waiting.push_back(Waiting{index, token, bytes, m_epoch});
        full = m_waiting.size() >= m_capacity;
    }
    if (full) {
        // A failure shows at the run's own flushes; here only room is made.
        (void)flushAndPlace();
    }
}

int NamePlacer::flushAndPlace()
{
    std::lock_guard<std::mutex> flushing(m_flushing);
    std::uint64_t mark = 0;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        mark = ++m_epoch;
    }
    // Everything that waited before the mark was written before the flush
    // began, so the flush carries its data onto the medium.
    if (const int error = m_volume.flush(); error != 0) {
        return error;
    }
    std::vector<Waiting> batch;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        while (!m_waiting.empty() && m_waiting.front().epoch < mark) {
            batch.push_back(m_waiting.front());
            m_waiting.pop_front();
        }
    }
    place(batch);
    return 0;
}

void NamePlacer::place(std::vector<Waiting> &batch)
{
    // Copies of one folder mostly wait side by side: one handle per run of them.
    std::int64_t openFolder = -1;
    platform::OpenResult folder;
    std::vector<Failure> failures;
    for (const Waiting &copy : batch) {
        const CopyPlan::Entry &entry = m_plan.entry(copy.index);
        if (std::int64_t(entry.folder) != openFolder) {
            openFolder = entry.folder;
            folder = platform::openDirectoryBeneath(m_volume.fd(), m_plan.folder(entry.folder).targetPath);
        }
        platform::CopyResult result;
        if (!folder.fd) {
            result.stage = platform::CopyStage::Rename;
            result.error = folder.error;
        } else {
            result = platform::FileCopier::placeTemporary(folder.fd.get(),
                                                          platform::FileCopier::temporaryName(copy.token),
                                                          m_plan.cName(copy.index));
        }
        if (!result.ok()) {
            failures.push_back(Failure{copy.index, result, copy.bytes});
        }
    }
    if (!failures.empty()) {
        std::lock_guard<std::mutex> locker(m_lock);
        m_failures.insert(m_failures.end(), failures.begin(), failures.end());
    }
}

std::vector<NamePlacer::Failure> NamePlacer::abandon()
{
    std::lock_guard<std::mutex> locker(m_lock);
    std::vector<Failure> left;
    left.reserve(m_waiting.size());
    for (const Waiting &copy : m_waiting) {
        left.push_back(Failure{copy.index, platform::CopyResult(), copy.bytes});
    }
    m_waiting.clear();
    return left;
}

std::vector<NamePlacer::Failure> NamePlacer::takeFailures()
{
    std::lock_guard<std::mutex> locker(m_lock);
    std::vector<Failure> failures;
    failures.swap(m_failures);
    return failures;
}

std::size_t NamePlacer::waiting() const
{
    std::lock_guard<std::mutex> locker(m_lock);
    return m_waiting.size();
}
