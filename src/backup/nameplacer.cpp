#include "backup/nameplacer.h"

#include "backup/backupvolume.h"
#include "backup/copyplan.h"
#include "platform/directoryops.h"
#include "platform/uniquefd.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace {

// How many of `copies` wait as unnamed files, each holding a descriptor.
template<typename Copies>
std::size_t unnamedIn(const Copies &copies)
{
    return std::size_t(std::count_if(copies.begin(), copies.end(), [](const auto &copy) { return copy.fd >= 0; }));
}

} // namespace

NamePlacer::NamePlacer(const BackupVolume &volume, const CopyPlan &plan, std::size_t capacity,
                       std::size_t unnamedCapacity)
    : m_volume(volume)
    , m_plan(plan)
    , m_capacity(std::max<std::size_t>(capacity, 1))
    , m_unnamedCapacity(unnamedCapacity)
{
}

NamePlacer::~NamePlacer()
{
    (void)abandon();
}

std::size_t NamePlacer::unnamedCapacityFor(int openFiles)
{
    // A thousand descriptors stay for the workers and the rest of the
    // process; fewer than a few thousand waiting copies would flush the
    // volume more often than the pacer does.
    constexpr int kKept = 1024;
    constexpr int kLeast = 4096;
    constexpr int kMost = 65536;
    const int left = std::min(openFiles - kKept, kMost);
    return left < kLeast ? 0 : std::size_t(left);
}

void NamePlacer::add(std::size_t index, const platform::CopyResult &pending)
{
    bool full = false;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_waiting.push_back(Waiting{index, pending.pendingToken, pending.bytesCopied, m_epoch, pending.pendingFd});
        m_unnamed += pending.pendingFd >= 0 ? 1 : 0;
        full = m_waiting.size() >= m_capacity || (m_unnamed > 0 && m_unnamed >= m_unnamedCapacity);
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
    // The workers' copies wait interleaved, a few folders at a time: grouped
    // by folder, each folder is opened once per batch instead of about once
    // per copy.
    std::sort(batch.begin(), batch.end(), [this](const Waiting &a, const Waiting &b) {
        const std::size_t folderA = m_plan.entry(a.index).folder;
        const std::size_t folderB = m_plan.entry(b.index).folder;
        return folderA != folderB ? folderA < folderB : a.index < b.index;
    });
    // A large batch is named by a few threads at once: renames wait on the
    // file system's journal and folder locks more than on a processor.
    constexpr std::size_t kPerThread = 2048;
    constexpr std::size_t kMostThreads = 4;
    const std::size_t threads = std::clamp<std::size_t>(batch.size() / kPerThread, 1, kMostThreads);
    std::vector<std::vector<Failure>> failures(threads);
    const std::size_t slice = (batch.size() + threads - 1) / threads;
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&, t] {
                placeRange(batch, t * slice, std::min(batch.size(), (t + 1) * slice), failures[t]);
            });
        } catch (const std::system_error &) {
            placeRange(batch, t * slice, std::min(batch.size(), (t + 1) * slice), failures[t]);
        }
    }
    placeRange(batch, 0, std::min(batch.size(), slice), failures[0]);
    for (std::thread &helper : helpers) {
        helper.join();
    }
    // Their descriptors are closed only now: until here they counted.
    const std::size_t unnamed = unnamedIn(batch);
    std::lock_guard<std::mutex> locker(m_lock);
    m_unnamed -= unnamed;
    for (const std::vector<Failure> &some : failures) {
        m_failures.insert(m_failures.end(), some.begin(), some.end());
    }
}

void NamePlacer::placeRange(const std::vector<Waiting> &batch, std::size_t begin, std::size_t end,
                            std::vector<Failure> &failures) const
{
    // Copies of one folder mostly wait side by side: one handle per run of them.
    std::int64_t openFolder = -1;
    platform::OpenResult folder;
    for (std::size_t i = begin; i < end; ++i) {
        const Waiting &copy = batch[i];
        const CopyPlan::Entry &entry = m_plan.entry(copy.index);
        if (std::int64_t(entry.folder) != openFolder) {
            openFolder = entry.folder;
            folder = platform::openDirectoryBeneath(m_volume.fd(), m_plan.folder(entry.folder).targetPath);
        }
        platform::CopyResult result;
        if (!folder.fd) {
            platform::UniqueFd unnamed(copy.fd);
            result.stage = platform::CopyStage::Rename;
            result.error = folder.error;
        } else if (copy.fd >= 0) {
            result = platform::FileCopier::placeUnnamed(copy.fd, folder.fd.get(), m_plan.cName(copy.index));
        } else {
            result = platform::FileCopier::placeTemporary(folder.fd.get(),
                                                          platform::FileCopier::temporaryName(copy.token),
                                                          m_plan.cName(copy.index));
        }
        if (!result.ok()) {
            failures.push_back(Failure{copy.index, result, copy.bytes});
        }
    }
}

std::vector<NamePlacer::Failure> NamePlacer::abandon()
{
    std::lock_guard<std::mutex> locker(m_lock);
    std::vector<Failure> left;
    left.reserve(m_waiting.size());
    for (const Waiting &copy : m_waiting) {
        platform::UniqueFd unnamed(copy.fd);
        left.push_back(Failure{copy.index, platform::CopyResult(), copy.bytes});
    }
    m_unnamed -= unnamedIn(m_waiting);
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
