#pragma once

#include "Moraine/update/hostfacts.h"
#include "Moraine/update/nimblitestatus.h"
#include "Moraine/update/osversion.h"
#include "Moraine/update/rsakey.h"
#include "Moraine/update/updatepagereader.h"
#include "Moraine/update/updateservices.h"

#include <QByteArray>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace moraine {

/// The update service: one object runs one check at a time against the
/// signed update page, keeps a log of every step, keeps the schedule and the
/// found update in the preferences, and reports the end of a check through
/// one completion callback, always on the main thread and exactly once per
/// check (none after the user cancelled).
///
/// Create it on the main thread and keep it alive until the completion has
/// run (deleting it from the completion with deleteLater() is fine).
class NIMBLite : public QObject
{
    Q_OBJECT

public:
    /// Takes the page address, the key, the progress window and the kit's
    /// services as `services` holds them now.
    explicit NIMBLite(const UpdateServices &services, QObject *parent = nullptr);
    /// With given program and machine facts (tools, tests).
    NIMBLite(const UpdateServices &services, const HostFacts &facts, QObject *parent = nullptr);
    ~NIMBLite() override;

    [[nodiscard]] std::optional<QString> updatePageURL() const { return m_updatePageURL; }

    [[nodiscard]] int appVersion() const { return m_appVersion; }
    [[nodiscard]] QString bundleIdentifier() const { return m_bundleIdentifier; }
    [[nodiscard]] QString architecture() const { return m_architecture; }
    [[nodiscard]] NIMBLiteStatus status() const { return m_status; }
    [[nodiscard]] QStringList log() const { return m_log; }
    [[nodiscard]] std::optional<QString> errorMessage() const { return m_errorMessage; }
    [[nodiscard]] bool maintenanceMode() const { return m_maintenanceMode; }
    [[nodiscard]] bool map() const { return m_map; }
    void setMap(bool inspect) { m_map = inspect; }
    [[nodiscard]] std::optional<QString> baseURL() const { return m_baseURL; }
    [[nodiscard]] std::optional<QVariantMap> updateDetails() const { return m_updateDetails; }
    [[nodiscard]] CachePolicy cachePolicy() const { return m_cachePolicy; }
    [[nodiscard]] bool cancelled() const { return m_cancelled.load(); }
    void setOnCompletion(std::function<void()> completion) { m_onCompletion = std::move(completion); }

    /// The user's cancel: the pending answer is ignored, so no completion,
    /// alert or web page follows.
    void cancel() { m_cancelled.store(true); }

    /// How long a request may stall before it fails (60 s unless changed).
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }
    /// How long one request may take in all, however steadily its bytes
    /// trickle in (3 minutes unless changed).
    void setCheckDeadline(std::chrono::milliseconds deadline) { m_checkDeadline = deadline; }

    /// Appends "Error: " + message to the log, sets errorMessage and the
    /// error status; with `finish` the check ends.
    virtual void logError(const QString &message, bool finish);
    virtual void resetCheckState();
    virtual void performManualCheck();
    virtual void performSilentCheck();
    virtual void setNextUpdateCheck(double seconds);
    /// The preferences this object reads and writes; nothing when there is no store.
    [[nodiscard]] virtual std::unique_ptr<QSettings> preferencesStore();
    virtual void storeUpdateInfo(const QVariantMap &info);
    /// A page of a newer format: an update is known to exist, not which.
    virtual void markUpdateAvailable();
    virtual void validateOnlinePage(const QString &urlString);
    virtual void checkURL(const QString &urlString, const std::optional<QString> &sender);
    virtual void showUpdatePage(const QString &urlString, const std::optional<QString> &sender);
    /// Reads, verifies and evaluates an update page. Without a sender it
    /// starts a fresh check and ends it itself.
    virtual void processHTML(const QByteArray &data, const std::optional<QString> &sender);
    virtual void showProgressWindow();

    /// Ends the check: the completion is queued on the main thread, once.
    void finishCheck();

    /// The largest answer the service reads; a longer one is an error.
    static constexpr qsizetype kMaxPageBytes = kMaxUpdatePageBytes;

protected:
    void appendLog(const QString &line);

private:
    void fill(const HostFacts &facts);
    // Page processing: a pure reading of the page, then its result applied
    // to this object; what it stores goes through setNextUpdateCheck(),
    // storeUpdateInfo() and markUpdateAvailable().
    void processPage(const QByteArray &data);
    PageReadingContext readingContext();
    void applyReading(const PageReading &reading);
    void readAnswerBody(QNetworkReply *reply);
    void handleAnswer(QNetworkReply *reply, quint64 check, const std::optional<QString> &sender);
    void afterProcessing(quint64 check);
    void deliverCompletion();
    void alert(const QString &message);
    void openInBrowser(const QString &address);

    HostFacts m_facts;
    int m_appVersion = 0;
    OsVersion m_OSVersion;
    QString m_bundleIdentifier;
    QString m_architecture;
    QStringList m_archiveURLS;
    NIMBLiteStatus m_status = NIMBLiteStatus::idle;
    QStringList m_log;
    std::function<void()> m_onCompletion;
    std::optional<QString> m_errorMessage;
    bool m_maintenanceMode = false;
    bool m_map = false;
    std::optional<int> m_dataFormat;
    std::optional<QString> m_baseURL;
    std::optional<QVariantMap> m_updateDetails;
    CachePolicy m_cachePolicy = CachePolicy::useProtocolCachePolicy;
    std::atomic<bool> m_cancelled = false;

    std::optional<QString> m_updatePageURL;
    std::optional<RsaKey> m_publicKey;
    UpdateServices::ProgressWindow m_progressWindow;
    QPointer<KitServices> m_kit;
    std::chrono::milliseconds m_requestTimeout{60'000};
    std::chrono::milliseconds m_checkDeadline{180'000};
    bool m_deadlinePassed = false;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_bodyTooLarge = false;
    QFuture<void> m_processing;
    // Which check an answer or a hand-back belongs to; a newer check makes
    // older answers stale.
    quint64 m_checkId = 0;
    bool m_finished = false;
    // Set when processing on a worker ended the check; the main thread
    // delivers the completion once the worker is done.
    bool m_completionOwed = false;
};

} // namespace moraine
