#include "backup/backupthread.h"

#include "backup/backuprun.h"
#include "backup/displayformat.h"
#include "backup/jobending.h"
#include "backup/runreport.h"
#include "platform/systemclock.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <cmath>

namespace {

// About one screen frame: faster progress changes are merged.
constexpr qint64 kDrainIntervalMs = 16;

void deleteOnOwnThread(BackupThread *job)
{
    // While the application shuts down, the last holder can be a queued
    // change being discarded under Qt's event-queue lock, where posting (or
    // deleting a QObject) would deadlock; the process is ending, so let go.
    if (!QCoreApplication::instance() || QCoreApplication::closingDown()) {
        return;
    }
    // The last holder may be the run's task on a pool thread; a QObject must
    // go on the thread it lives on, after its pending events.
    job->deleteLater();
}

} // namespace

std::shared_ptr<BackupThread> BackupThread::create(const BackupScript &script, const IconDescription &icon,
                                                   JobKind kind)
{
    return std::shared_ptr<BackupThread>(new BackupThread(script, icon, std::move(kind)), deleteOnOwnThread);
}

std::shared_ptr<BackupThread> BackupThread::createPlaceholder()
{
    return std::shared_ptr<BackupThread>(new BackupThread(), deleteOnOwnThread);
}

BackupThread::BackupThread(const BackupScript &script, const IconDescription &icon, JobKind kind)
    : m_script(script)
    , m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
    , m_baseTime(platform::systemUptime())
    , m_icon(icon)
    , m_work(std::move(kind.work))
    , m_progressTitle(kind.title.isEmpty() ? QStringLiteral("Backing up to \"%1\"").arg(script.volumeName)
                                           : kind.title)
    , m_log{kind.firstLogLine.isEmpty() ? QStringLiteral("Backup Initialized to ") + script.volumeName
                                        : kind.firstLogLine}
{
}

BackupThread::BackupThread()
    : m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
    , m_baseTime(platform::systemUptime())
    , m_progressTitle(QStringLiteral("Backing up to Demo volume"))
    , m_log{QStringLiteral("Backup Initialized")}
{
    m_icon.kind = IconDescription::Kind::Application;
}

BackupThread::~BackupThread() = default;

BackupThread::Ending BackupThread::ending() const
{
    return jobending::of(status(), m_errorCount);
}

QString BackupThread::endingText() const
{
    return jobending::text(ending(), m_errorCount, m_outcome.stopReason);
}

QString BackupThread::endingLine() const
{
    const QString text = endingText();
    if (text.isEmpty()) {
        return text;
    }
    QStringList parts{text};
    if (!m_script.volumeName.isEmpty()) {
        parts << QLatin1Char('"') + m_script.volumeName + QLatin1Char('"');
    }
    if (m_endedAt.isValid()) {
        parts << QLocale().toString(m_endedAt.time(), QLocale::ShortFormat);
    }
    return parts.join(QStringLiteral(" · "));
}

QString BackupThread::endingIconName() const
{
    return jobending::iconName(ending());
}

bool BackupThread::isRunning() const
{
    const BackupThreadStatusValue current = status();
    return current == BackupThreadStatusValue::scanning || current == BackupThreadStatusValue::backingUp;
}

void BackupThread::appendLog(const QString &message)
{
    const double elapsed = platform::systemUptime() - m_baseTime;
    post({Change::Kind::Log, displayformat::logLine(elapsed, message, QLocale())});
}

void BackupThread::setStatus(BackupThreadStatusValue status)
{
    Change change{Change::Kind::Status};
    change.status = status;
    post(std::move(change));
}

void BackupThread::setProgressMessage(const QString &message)
{
    post({Change::Kind::Message, message});
}

void BackupThread::setProgressTitle(const QString &title)
{
    appendLog(title);
    post({Change::Kind::Title, title});
}

void BackupThread::setProgressValue(float value)
{
    Change change{Change::Kind::Value};
    change.value = std::isnan(value) || value <= 0.0f ? 0.0f : std::min(value, 1.0f);
    post(std::move(change));
}

void BackupThread::setErrorCount(quint64 count)
{
    Change change{Change::Kind::Errors};
    change.count = count;
    post(std::move(change));
}

void BackupThread::setOutcome(const BackupOutcome &outcome)
{
    Change change{Change::Kind::Outcome};
    change.outcome = outcome;
    post(std::move(change));
}

void BackupThread::cancel()
{
    setStatus(BackupThreadStatusValue::cancelled);
}

void BackupThread::start()
{
    std::shared_ptr<BackupThread> self = weak_from_this().lock();
    if (!self) {
        qWarning("BackupThread::start(): the job must be made with BackupThread::create()");
        return;
    }
    // A thread of its own: a run can take hours, and on the shared pool two
    // of them would hold back every other job and every short task (as many
    // threads as cores). The thread deletes itself once the run is over.
    QString failure;
    try {
        QThread *thread = QThread::create([self] {
            self->runBackup();
            self->post({Change::Kind::Finished});
        });
        thread->setObjectName(QStringLiteral("backup job"));
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start(QThread::HighPriority);
        // A thread that could not be made is neither running nor finished.
        if (thread->isRunning() || thread->isFinished()) {
            return;
        }
        delete thread;
        failure = QStringLiteral("no thread could be started for it");
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    // The job still ends, as a run that stopped early does.
    RunReport(*this).error(QStringLiteral("The backup could not start: ") + failure);
    setProgressTitle(QStringLiteral("Backup Process finished"));
    setStatus(BackupThreadStatusValue::completed);
    post({Change::Kind::Finished});
}

void BackupThread::runBackup()
{
    if (m_work) {
        m_work(*this);
        return;
    }
    BackupRun run(m_script, *this, RunServices::system());
    run.execute();
}

void BackupThread::post(Change change)
{
    bool schedule = false;
    {
        QMutexLocker locker(&m_pendingLock);
        m_pending.push_back(std::move(change));
        schedule = !m_drainScheduled;
        m_drainScheduled = true;
    }
    if (schedule) {
        scheduleDrain();
    }
}

void BackupThread::scheduleDrain()
{
    // The captured pointer keeps the job alive until its changes are applied.
    std::shared_ptr<BackupThread> keep = weak_from_this().lock();
    QMetaObject::invokeMethod(
        this,
        [this, keep] {
            const qint64 since = m_sinceDrain.isValid() ? m_sinceDrain.elapsed() : kDrainIntervalMs;
            if (since >= kDrainIntervalMs) {
                drain();
            } else {
                QTimer::singleShot(kDrainIntervalMs - since, this, [this, keep] { drain(); });
            }
        },
        Qt::QueuedConnection);
}

void BackupThread::drain()
{
    std::vector<Change> batch;
    {
        QMutexLocker locker(&m_pendingLock);
        batch.swap(m_pending);
        m_drainScheduled = false;
    }
    m_sinceDrain.start();

    // Only the last progress message, value and error count of a batch are
    // shown; everything else is applied one by one, in order.
    std::size_t lastMessage = batch.size();
    std::size_t lastValue = batch.size();
    std::size_t lastErrors = batch.size();
    for (std::size_t i = 0; i < batch.size(); ++i) {
        switch (batch[i].kind) {
        case Change::Kind::Message: lastMessage = i; break;
        case Change::Kind::Value: lastValue = i; break;
        case Change::Kind::Errors: lastErrors = i; break;
        default: break;
        }
    }
    bool logGrew = false;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Change &change = batch[i];
        if ((change.kind == Change::Kind::Message && i != lastMessage)
            || (change.kind == Change::Kind::Value && i != lastValue)
            || (change.kind == Change::Kind::Errors && i != lastErrors)) {
            continue;
        }
        apply(change, logGrew);
    }
    if (logGrew) {
        emit logChanged();
    }
}

void BackupThread::apply(const Change &change, bool &logGrew)
{
    if (change.kind != Change::Kind::Log && logGrew) {
        // Observers of later changes see the log as it stood when they were made.
        logGrew = false;
        emit logChanged();
    }
    switch (change.kind) {
    case Change::Kind::Log:
        m_log.append(change.text);
        logGrew = true;
        emit logLineAppended(change.text);
        break;
    case Change::Kind::Status: {
        // Cancelled, completed and error are final: a cancel that arrives
        // just after the run ended does not turn a finished backup into a
        // cancelled one, and nothing revives an ended job.
        const BackupThreadStatusValue current = status();
        if (current == change.status || current == BackupThreadStatusValue::cancelled
            || current == BackupThreadStatusValue::completed || current == BackupThreadStatusValue::error) {
            break;
        }
        const bool wasRunning = isRunning();
        m_status.store(change.status, std::memory_order_release);
        if (ending() != Ending::NotEnded) {
            m_endedAt = QDateTime::currentDateTime();
        }
        emit statusChanged();
        if (wasRunning != isRunning()) {
            emit isRunningChanged();
        }
        emit endingChanged();
        break;
    }
    case Change::Kind::Title:
        if (m_progressTitle != change.text) {
            m_progressTitle = change.text;
            emit progressTitleChanged();
        }
        break;
    case Change::Kind::Message:
        if (m_progressMessage != change.text) {
            m_progressMessage = change.text;
            emit progressMessageChanged();
        }
        break;
    case Change::Kind::Value:
        if (m_progressValue != change.value) {
            m_progressValue = change.value;
            emit progressValueChanged();
        }
        break;
    case Change::Kind::Errors:
        if (m_errorCount != change.count) {
            m_errorCount = change.count;
            emit errorCountChanged();
            emit endingChanged();
        }
        break;
    case Change::Kind::Outcome:
        m_outcome = change.outcome;
        emit endingChanged();
        break;
    case Change::Kind::Finished: {
        // The log's last line says how the run ended, in the row's words.
        const QString ended = endingText();
        if (!ended.isEmpty()) {
            const QString line = displayformat::logLine(platform::systemUptime() - m_baseTime,
                                                        QCoreApplication::translate("JobEnding", "Result: %1").arg(ended),
                                                        QLocale());
            m_log.append(line);
            emit logLineAppended(line);
            emit logChanged();
        }
        emit runFinished();
        break;
    }
    }
}
