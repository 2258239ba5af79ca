#pragma once

#include <QObject>
#include <QSet>

#include <chrono>
#include <functional>
#include <memory>

namespace volumes {

/// Runs readings that may wait on the disk or the network (the volume
/// table) off the main thread and hands their results to the thread the
/// reader lives on, so that a hung share never holds up a window.
///
/// One reading runs at a time. A request made while one runs is kept (the
/// latest only) and run once that one is done; the result of the one that
/// ran is then stale and dropped. A reading that does not come back within
/// the bound is given up (and logged): its result is dropped whenever it
/// comes, and the next request goes ahead beside it; with none waiting, the
/// given-up one is run once more, as the table leaves out by then what held
/// it up (each volume's look has a shorter bound of its own), so that a
/// share hanging somewhere never leaves the reading unanswered.
class VolumeReader : public QObject
{
    Q_OBJECT

public:
    /// Applies a reading's result; runs on the reader's thread.
    using Publish = std::function<void()>;
    /// Reads, on a thread of its own, and says how to apply what it read.
    using Reading = std::function<Publish()>;

    explicit VolumeReader(QObject *parent = nullptr);
    /// Waits for a reading still running within its bound (it may use what
    /// its owner is about to destroy), never for one already given up.
    ~VolumeReader() override;

    /// Runs `reading` now, or after the one that runs (see above).
    void request(Reading reading);
    /// Runs `reading` now, beside any other; its result is always applied
    /// (unless the reader is gone by then). For one-off questions whose
    /// asker waits for the answer.
    void ask(Reading reading);

    /// Whether a reading runs, waits to run, or has not been applied yet.
    [[nodiscard]] bool isBusy() const { return m_running != 0 || static_cast<bool>(m_pending) || !m_asked.isEmpty(); }

signals:
    /// The last reading was applied (or given up) and none is on its way.
    void settled();

private:
    struct Mailbox;

    /// Runs a request now; `retry`: a given-up one run again.
    void run(Reading reading, bool retry);
    void start(Reading reading, quint64 serial);
    void finish(quint64 serial, const Publish &publish);
    void giveUp(quint64 serial);

    std::shared_ptr<Mailbox> m_mailbox;
    std::chrono::milliseconds m_bound{5000}; ///< how long a reading may take before it is given up
    quint64 m_serial = 0;
    quint64 m_running = 0;  ///< the requested reading that runs (0: none)
    QSet<quint64> m_asked;  ///< asked readings not back yet
    Reading m_pending;
    Reading m_current;          ///< the requested reading that runs
    bool m_currentIsRetry = false;
};

} // namespace volumes
