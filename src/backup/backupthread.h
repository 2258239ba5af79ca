#pragma once

#include "backup/backupscript.h"
#include "backup/icondescription.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

/// One backup job: one run of a backup set against its volume, observable by
/// the views. Every setter may be called from any thread; the change is
/// applied on the job's own (main) thread, in call order, and the caller
/// never waits. Progress message, value and error count are coalesced to at
/// most about 60 updates a second; log lines and status changes never are.
///
/// Jobs are shared: make them with create() / createPlaceholder(). The list,
/// a view and the running task each hold a std::shared_ptr, and the job lives
/// as long as any of them does (it is deleted on its own thread).
/// What a finished run did, for those who tell the person about it.
struct BackupOutcome
{
    /// Why a run ended before it had done everything it set out to do.
    enum class StopReason {
        none,       // it went through to the end (errors or not)
        cancelled,  // the person cancelled it
        volumeFull, // the volume had no room for what was left
        volumeGone, // the volume stopped accepting writes, or went away
    };
    StopReason stopReason = StopReason::none;
    quint64 itemsBackedUp = 0;
    quint64 bytesBackedUp = 0;
    /// An eject of the destination was asked for after the run.
    bool ejectTried = false;
    /// Why that eject failed; empty when it succeeded.
    QString ejectError;
};

class BackupThread;

/// What a job does and how it introduces itself. An empty one is a backup of
/// the set; verify and restore jobs bring their own title, first log line
/// and work, and share everything else (status, log, Cancel) with it.
struct JobKind
{
    QString title;        // shown until the run's close sets its own
    QString firstLogLine; // the log's first line
    std::function<void(BackupThread &job)> work; // on the job's own thread
};

class BackupThread : public QObject, public std::enable_shared_from_this<BackupThread>
{
    Q_OBJECT
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QString progressTitle READ progressTitle NOTIFY progressTitleChanged)
    Q_PROPERTY(QString progressMessage READ progressMessage NOTIFY progressMessageChanged)
    Q_PROPERTY(float progressValue READ progressValue NOTIFY progressValueChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    Q_PROPERTY(BackupThreadStatusValue status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(quint64 errorCount READ errorCount NOTIFY errorCountChanged)
    Q_PROPERTY(IconDescription icon READ icon CONSTANT)
    Q_PROPERTY(Ending ending READ ending NOTIFY endingChanged)
    Q_PROPERTY(QString endingText READ endingText NOTIFY endingChanged)
    Q_PROPERTY(QString endingLine READ endingLine NOTIFY endingChanged)
    Q_PROPERTY(QString endingIconName READ endingIconName NOTIFY endingChanged)

public:
    // QML reaches enumeration keys only when they begin with a capital
    // letter, hence the capitalised aliases.
    enum class BackupThreadStatusValue {
        awaiting,
        scanning,
        backingUp,
        error,
        completed,
        cancelled,
        Awaiting = awaiting,
        Scanning = scanning,
        BackingUp = backingUp,
        Error = error,
        Completed = completed,
        Cancelled = cancelled,
    };
    Q_ENUM(BackupThreadStatusValue)

    /// How the job ended, from its status and error count (jobending.h).
    enum class Ending { NotEnded, EndedCompleted, EndedWithErrors, EndedCancelled, EndedStopped };
    Q_ENUM(Ending)

    /// A job for `script` (copied) showing `icon`: a backup, unless `kind`
    /// gives other work.
    [[nodiscard]] static std::shared_ptr<BackupThread> create(const BackupScript &script, const IconDescription &icon,
                                                              JobKind kind = {});
    /// The stand-alone job a log window shows when its job is gone.
    [[nodiscard]] static std::shared_ptr<BackupThread> createPlaceholder();

    BackupThread(const BackupScript &script, const IconDescription &icon, JobKind kind = {});
    BackupThread();
    ~BackupThread() override;

    [[nodiscard]] const BackupScript &script() const { return m_script; }
    [[nodiscard]] QString id() const { return m_id; }
    [[nodiscard]] QString progressTitle() const { return m_progressTitle; }
    [[nodiscard]] QString progressMessage() const { return m_progressMessage; }
    [[nodiscard]] float progressValue() const { return m_progressValue; }
    [[nodiscard]] QStringList log() const { return m_log; }
    /// Safe from any thread: the status as last applied on the main thread.
    [[nodiscard]] BackupThreadStatusValue status() const { return m_status.load(std::memory_order_acquire); }
    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] quint64 errorCount() const { return m_errorCount; }
    [[nodiscard]] IconDescription icon() const { return m_icon; }
    /// The run's totals and eject answer; set before runFinished.
    [[nodiscard]] const BackupOutcome &outcome() const { return m_outcome; }
    [[nodiscard]] Ending ending() const;
    /// "Completed with 3 errors", "Cancelled", ...; empty while not ended.
    [[nodiscard]] QString endingText() const;
    /// The ending, the volume and when it ended, for the job's row:
    /// "Cancelled · "STICK" · 14:05"; empty while not ended.
    [[nodiscard]] QString endingLine() const;
    /// The theme icon marking the ending; empty while not ended.
    [[nodiscard]] QString endingIconName() const;

    /// Time-stamps `message` now and appends the line to the log.
    Q_INVOKABLE void appendLog(const QString &message);
    /// `cancelled`, `completed` and `error` are final: later changes are ignored.
    Q_INVOKABLE void setStatus(BackupThread::BackupThreadStatusValue status);
    Q_INVOKABLE void setProgressMessage(const QString &message);
    /// Logs `title`, then shows it.
    Q_INVOKABLE void setProgressTitle(const QString &title);
    /// Clamped to 0...1.
    Q_INVOKABLE void setProgressValue(float value);
    /// The run's error count (written only by the run).
    void setErrorCount(quint64 count);
    /// The run's totals and eject answer (written only by the run).
    void setOutcome(const BackupOutcome &outcome);
    /// setStatus(cancelled): the run stops at its next status read.
    Q_INVOKABLE void cancel();

    /// Starts runBackup() on a new thread of its own at high priority and
    /// returns at once. The thread holds the job until the run ends.
    Q_INVOKABLE void start();
    /// The job's work (the backup run unless its kind gave other work), on
    /// the calling thread (never the main one).
    void runBackup();

signals:
    void progressTitleChanged();
    void progressMessageChanged();
    void progressValueChanged();
    void logChanged();
    /// One appended log line; cheaper for a view than re-reading `log`.
    void logLineAppended(const QString &line);
    void statusChanged();
    void isRunningChanged();
    void errorCountChanged();
    void endingChanged();
    /// The run has ended and all its changes have been applied.
    void runFinished();

private:
    struct Change
    {
        enum class Kind { Log, Status, Title, Message, Value, Errors, Outcome, Finished };
        Change(Kind changeKind, QString changeText = QString())
            : kind(changeKind)
            , text(std::move(changeText))
        {
        }
        Kind kind;
        QString text;
        float value = 0;
        BackupThreadStatusValue status = BackupThreadStatusValue::awaiting;
        quint64 count = 0;
        BackupOutcome outcome;
    };

    void post(Change change);
    void scheduleDrain();
    void drain();
    void apply(const Change &change, bool &logGrew);

    BackupScript m_script;
    QString m_id;
    double m_baseTime = 0; // uptime in seconds when the job was made: the log's time origin
    IconDescription m_icon;
    std::function<void(BackupThread &job)> m_work;

    // Published state, written on the main thread only.
    QString m_progressTitle;
    QString m_progressMessage = QStringLiteral("Preparing...");
    float m_progressValue = 0;
    QStringList m_log;
    quint64 m_errorCount = 0;
    BackupOutcome m_outcome;
    QDateTime m_endedAt;
    std::atomic<BackupThreadStatusValue> m_status{BackupThreadStatusValue::awaiting};

    // Changes on their way to the main thread.
    QMutex m_pendingLock;
    std::vector<Change> m_pending;
    bool m_drainScheduled = false;
    QElapsedTimer m_sinceDrain;
};

using BackupThreadStatusValue = BackupThread::BackupThreadStatusValue;
