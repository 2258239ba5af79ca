#include "volumes/volumereader.h"

#include <QMetaObject>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace volumes {

/// Where reading threads leave their results. The reader lets go of it when
/// it is destroyed, so a reading that comes back late finds nobody to tell.
struct VolumeReader::Mailbox
{
    std::mutex lock;
    std::condition_variable done;
    VolumeReader *reader = nullptr;
    std::set<quint64> running;  ///< not back yet, and not given up on
};

VolumeReader::VolumeReader(QObject *parent)
    : QObject(parent)
    , m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->reader = this;
}

VolumeReader::~VolumeReader()
{
    std::unique_lock<std::mutex> guard(m_mailbox->lock);
    m_mailbox->reader = nullptr;
    m_mailbox->done.wait_for(guard, m_bound, [this] { return m_mailbox->running.empty(); });
}

void VolumeReader::request(Reading reading)
{
    if (m_running != 0) {
        m_pending = std::move(reading);
        return;
    }
    run(std::move(reading), false);
}

void VolumeReader::run(Reading reading, bool retry)
{
    m_running = ++m_serial;
    m_current = reading;
    m_currentIsRetry = retry;
    start(std::move(reading), m_running);
    QTimer::singleShot(m_bound, this, [this, serial = m_running] { giveUp(serial); });
}

void VolumeReader::ask(Reading reading)
{
    const quint64 serial = ++m_serial;
    m_asked.insert(serial);
    start(std::move(reading), serial);
}

void VolumeReader::start(Reading reading, quint64 serial)
{
    std::shared_ptr<Mailbox> mailbox = m_mailbox;
    auto work = [mailbox, reading = std::move(reading), serial] {
        Publish publish = reading();
        std::lock_guard<std::mutex> guard(mailbox->lock);
        if (VolumeReader *reader = mailbox->reader) {
            QMetaObject::invokeMethod(
                reader, [reader, serial, publish] { reader->finish(serial, publish); }, Qt::QueuedConnection);
        }
        mailbox->running.erase(serial);
        mailbox->done.notify_all();
    };
    {
        std::lock_guard<std::mutex> guard(mailbox->lock);
        mailbox->running.insert(serial);
    }
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error &) {
        // No thread to be had (the process is at its limits): read here.
        work();
    }
}

void VolumeReader::finish(quint64 serial, const Publish &publish)
{
    if (m_asked.remove(serial)) {
        if (publish) {
            publish();
        }
        if (!isBusy()) {
            emit settled();
        }
        return;
    }
    if (serial != m_running) {
        return; // given up on earlier
    }
    m_running = 0;
    m_current = Reading();
    if (m_pending) {
        // Asked for again while this one ran: what it read may be old already.
        request(std::exchange(m_pending, Reading()));
        return;
    }
    if (publish) {
        publish();
    }
    if (!isBusy()) {
        emit settled();
    }
}

void VolumeReader::giveUp(quint64 serial)
{
    if (serial != m_running) {
        return;
    }
    qWarning("A reading of the volumes did not come back in %lld ms; going on without it",
             static_cast<long long>(m_bound.count()));
    {
        std::lock_guard<std::mutex> guard(m_mailbox->lock);
        m_mailbox->running.erase(serial);
    }
    m_running = 0;
    Reading givenUp = std::exchange(m_current, Reading());
    if (m_pending) {
        request(std::exchange(m_pending, Reading()));
        return;
    }
    if (!m_currentIsRetry && givenUp) {
        run(std::move(givenUp), true);
        return;
    }
    if (!isBusy()) {
        emit settled();
    }
}

} // namespace volumes
