#pragma once

#include "platform/filecopier.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class BackupVolume;
class CopyPlan;

/// Gives the copies of a run their names only once their data is on the
/// medium. A copy waits under its temporary name until a flush of the volume
/// that began after it was written has succeeded; then every copy that flush
/// covers takes its name, in one batch. The flushes are the run's own (the
/// writeback pacer's, the one at the end of the copy); a run cut at any
/// moment leaves each copy absent, under its temporary name, or complete
/// under its name.
///
/// At most `capacity` copies wait, and at most `unnamedCapacity` of them as
/// unnamed files on open descriptors: the copy that would exceed either
/// flushes and places the waiting ones itself before it goes on.
class NamePlacer
{
public:
    struct Failure
    {
        std::size_t index;
        platform::CopyResult result;
        std::int64_t bytes;
    };

    NamePlacer(const BackupVolume &volume, const CopyPlan &plan, std::size_t capacity = defaultCapacity(),
               std::size_t unnamedCapacity = 0);
    ~NamePlacer();
    NamePlacer(const NamePlacer &) = delete;
    NamePlacer &operator=(const NamePlacer &) = delete;

    /// The copy of plan entry `index` (`bytes` long) waits as `pending`
    /// says: under the temporary name of its token, or as the unnamed file
    /// on its descriptor, which the placer now owns. Any thread.
    void add(std::size_t index, const platform::CopyResult &pending);

    /// Flushes the volume and names every copy that waited when the flush
    /// began; 0 or the flush's errno value (then nothing is named). One at a
    /// time; any thread.
    int flushAndPlace();

    /// No flush will come (the volume failed): the waiting copies keep their
    /// temporary names, and unnamed ones vanish. Returns them.
    std::vector<Failure> abandon();

    /// Copies that could not take their name, since the last call.
    [[nodiscard]] std::vector<Failure> takeFailures();
    [[nodiscard]] std::size_t waiting() const;
    /// Whether copies may wait as unnamed files.
    [[nodiscard]] bool takesUnnamed() const { return m_unnamedCapacity > 0; }

    /// A million: a few tens of MiB however large the plan.
    [[nodiscard]] static std::size_t defaultCapacity() { return 1'000'000; }

    /// How many unnamed copies may wait on a process allowed `openFiles`
    /// descriptors: none where too few are left to make it pay.
    [[nodiscard]] static std::size_t unnamedCapacityFor(int openFiles);

private:
    struct Waiting
    {
        std::size_t index;
        std::uint64_t token;
        std::int64_t bytes;
        std::uint64_t epoch; // flushes begun before it waited
        int fd;              // the unnamed copy's descriptor, else -1
    };

    void place(std::vector<Waiting> &batch);
    void placeRange(const std::vector<Waiting> &batch, std::size_t begin, std::size_t end,
                    std::vector<Failure> &failures) const;

    const BackupVolume &m_volume;
    const CopyPlan &m_plan;
    const std::size_t m_capacity;
    const std::size_t m_unnamedCapacity;

    mutable std::mutex m_lock;
    std::deque<Waiting> m_waiting; // in epoch order
    std::uint64_t m_epoch = 0;
    std::size_t m_unnamed = 0; // descriptors of unnamed copies still open
    std::vector<Failure> m_failures;
    std::mutex m_flushing; // one flush and placement at a time
};
