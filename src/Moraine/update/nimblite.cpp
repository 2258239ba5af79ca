#include "Moraine/update/nimblite.h"

#include "Moraine/update/updategroup.h"
#include "Moraine/update/updatepagereader.h"
#include "Moraine/update/updatepreferences.h"
#include "Moraine/update/updatewebpage.h"
#include "platform/buildinfo.h"
#include "platform/preferences.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimeZone>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace moraine {

namespace {

const QString kSilentSender = QStringLiteral("silentUpdateCheck");
const QString kManualSender = QStringLiteral("manualUpdateCheck");
const QString kValidateSender = QStringLiteral("validateOnlinePage");
// The alert's title, in the person's language.
QString unableToCheck()
{
    return QCoreApplication::translate("KitAlert", "Unable to check for update");
}

QString describe(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString number(double value)
{
    return QString::number(value, 'g', 15);
}

// The standard reason phrase of an HTTP status (the server's own text is not used).
QString httpStatusText(int code)
{
    switch (code) {
    case 301: return QStringLiteral("Moved Permanently");
    case 302: return QStringLiteral("Found");
    case 304: return QStringLiteral("Not Modified");
    case 400: return QStringLiteral("Bad Request");
    case 401: return QStringLiteral("Unauthorized");
    case 403: return QStringLiteral("Forbidden");
    case 404: return QStringLiteral("Not Found");
    case 405: return QStringLiteral("Method Not Allowed");
    case 408: return QStringLiteral("Request Timeout");
    case 410: return QStringLiteral("Gone");
    case 429: return QStringLiteral("Too Many Requests");
    case 500: return QStringLiteral("Internal Server Error");
    case 502: return QStringLiteral("Bad Gateway");
    case 503: return QStringLiteral("Service Unavailable");
    case 504: return QStringLiteral("Gateway Timeout");
    default: break;
    }
    if (code >= 200 && code < 300) {
        return QStringLiteral("Success");
    }
    if (code >= 300 && code < 400) {
        return QStringLiteral("Redirection");
    }
    if (code >= 400 && code < 500) {
        return QStringLiteral("Client Error");
    }
    return QStringLiteral("Server Error");
}

QString headerOrUnknown(const QNetworkReply *reply, const char *name)
{
    const QByteArray value = reply->rawHeader(name);
    return value.isEmpty() ? QStringLiteral("Unknown") : QString::fromLatin1(value);
}

} // namespace

NIMBLite::NIMBLite(const UpdateServices &services, QObject *parent)
    : NIMBLite(services, HostFacts::current(), parent)
{
}

NIMBLite::NIMBLite(const UpdateServices &services, const HostFacts &facts, QObject *parent)
    : QObject(parent)
    , m_facts(facts)
    , m_updatePageURL(services.updatePageURL())
    , m_publicKey(services.publicKey())
    , m_progressWindow(services.progressWindow())
    , m_kit(services.kit())
{
    fill(facts);
}

NIMBLite::~NIMBLite()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    // Processing may still be writing into this object on a worker; it is
    // bounded by the page cap, so waiting is short.
    m_processing.waitForFinished();
}

void NIMBLite::fill(const HostFacts &facts)
{
    const std::optional<int> build = parseDecimalInteger(facts.buildNumber);
    if (!build) {
        logError(QStringLiteral("Unable to get application's CFBundleVersion"), false);
        return;
    }
    m_appVersion = *build;
    if (facts.bundleIdentifier.isEmpty()) {
        logError(QStringLiteral("Unable to get application's BundleIdentifier"), false);
        return;
    }
    m_bundleIdentifier = facts.bundleIdentifier;
    const std::optional<OsVersion> os = OsVersion::fromKernelRelease(facts.kernelRelease);
    if (!os) {
        logError(QStringLiteral("Unable to get the Linux version"), false);
        return;
    }
    m_OSVersion = *os;
    m_architecture = architectureCode(facts.machine);
}

void NIMBLite::appendLog(const QString &line)
{
    m_log.append(line);
}

void NIMBLite::logError(const QString &message, bool finish)
{
    appendLog(QStringLiteral("Error: ") + message);
    m_errorMessage = message;
    m_status = NIMBLiteStatus::error;
    if (finish) {
        finishCheck();
    }
}

void NIMBLite::resetCheckState()
{
    // Processing a fetched page without a sender resets on the worker; that
    // belongs to the same check. On the main thread a new check begins: a
    // page still being processed is waited for, and older answers go stale.
    if (QThread::currentThread() == thread()) {
        m_processing.waitForFinished();
        ++m_checkId;
    }
    m_finished = false;
    m_completionOwed = false;
    m_status = NIMBLiteStatus::busy;
    m_cancelled.store(false);
    m_errorMessage.reset();
    m_updateDetails.reset();
    m_maintenanceMode = false;
    m_log.clear();
    m_archiveURLS.clear();
}

void NIMBLite::finishCheck()
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    if (QThread::currentThread() == thread()) {
        deliverCompletion();
    } else {
        m_completionOwed = true;
    }
}

void NIMBLite::deliverCompletion()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            // A copy: a wrapper puts the previous callback back while it runs.
            const std::function<void()> completion = m_onCompletion;
            if (completion) {
                completion();
            }
        },
        Qt::QueuedConnection);
}

std::unique_ptr<QSettings> NIMBLite::preferencesStore()
{
    if (m_bundleIdentifier.isEmpty()) {
        return nullptr;
    }
    if (m_bundleIdentifier == platform::buildinfo::bundleIdentifier()) {
        return platform::preferences();
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       platform::buildinfo::organizationName(), m_bundleIdentifier);
}

void NIMBLite::setNextUpdateCheck(double seconds)
{
    const auto prefs = preferencesStore();
    if (!prefs) {
        appendLog(QStringLiteral("Failed to get the prefs for ") + m_bundleIdentifier);
        return;
    }
    const QDateTime next = QDateTime::currentDateTimeUtc().addMSecs(static_cast<qint64>(seconds * 1000.0));
    prefs->setValue(updateprefs::kNextUpdateCheck, next);
    appendLog(QStringLiteral("Set next update check to ") + describe(next));
}

void NIMBLite::storeUpdateInfo(const QVariantMap &info)
{
    m_status = NIMBLiteStatus::updateAvailable;
    m_updateDetails = info;
    const auto prefs = preferencesStore();
    if (!prefs) {
        appendLog(QStringLiteral("Failed to get the prefs for ") + m_bundleIdentifier);
        return;
    }
    prefs->setValue(updateprefs::kCurrentUpdateInfo, info);
    prefs->setValue(updateprefs::kUpdateAvailable, true);
    appendLog(QStringLiteral("Update Available: ") + describeDictionary(info));
}

void NIMBLite::markUpdateAvailable()
{
    if (const auto prefs = preferencesStore()) {
        prefs->setValue(updateprefs::kUpdateAvailable, true);
    }
}

void NIMBLite::performSilentCheck()
{
    resetCheckState();
    appendLog(QStringLiteral("--- performSilentCheck()"));
    const std::optional<QString> url = m_updatePageURL;
    if (!url || !isValidUrlText(*url)) {
        logError(QStringLiteral("Invalid URL ") + url.value_or(QStringLiteral("None")), true);
        return;
    }
    const auto prefs = preferencesStore();
    if (!prefs) {
        logError(QStringLiteral("Failed to get the preferences object for ") + m_bundleIdentifier, true);
        return;
    }
    const double period = updateprefs::checkPeriod(*prefs);
    if (period == 0) {
        appendLog(QStringLiteral("NIMBNextUpdateCheckPeriod is set to never."));
        finishCheck();
        return;
    }
    if (const auto stored = updateprefs::dictionary(*prefs, updateprefs::kCurrentUpdateInfo)) {
        if (const auto build = updateprefs::integerEntry(*stored, updateprefs::kBuildNumber)) {
            if (m_appVersion < *build) {
                appendLog(QStringLiteral("build:%1 available, we're on %2").arg(*build).arg(m_appVersion));
                m_status = NIMBLiteStatus::updateAvailable;
            } else {
                appendLog(QStringLiteral("We're using build:%1; update: %2; we'll flush the data and next time we'll do a check.")
                              .arg(m_appVersion)
                              .arg(*build));
                prefs->remove(updateprefs::kCurrentUpdateInfo);
                prefs->remove(updateprefs::kUpdateAvailable);
                prefs->remove(updateprefs::kIgnoreVersionInfo);
            }
            finishCheck();
            return;
        }
    }
    const std::optional<QDateTime> next = updateprefs::date(*prefs, updateprefs::kNextUpdateCheck);
    if (!next) {
        appendLog(QStringLiteral("No NIMBNextUpdateCheck set, so we'll create one"));
        setNextUpdateCheck(period);
        finishCheck();
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (*next < now) {
        appendLog(QStringLiteral("So we've past our check date, let's reset the clock and perform an update check."));
        setNextUpdateCheck(period);
        const std::function<void()> previous = m_onCompletion;
        m_onCompletion = [this, previous] {
            m_onCompletion = previous;
            if (previous) {
                previous();
            }
        };
        checkURL(*url, kSilentSender);
        return;
    }
    appendLog(QStringLiteral("Still ") + number(static_cast<double>(now.msecsTo(*next)) / 1000.0)
              + QStringLiteral(" seconds to go"));
    finishCheck();
}

void NIMBLite::performManualCheck()
{
    resetCheckState();
    appendLog(QStringLiteral("--- performManualCheck()"));
    const std::optional<QString> url = m_updatePageURL;
    if (!url || !isValidUrlText(*url)) {
        const QString message = QStringLiteral("Invalid URL ") + url.value_or(QStringLiteral("None"));
        logError(message, true);
        alert(message);
        return;
    }
    const std::function<void()> previous = m_onCompletion;
    const CachePolicy previousPolicy = m_cachePolicy;
    m_onCompletion = [this, previous, previousPolicy] {
        if (m_progressWindow.dismiss) {
            m_progressWindow.dismiss();
        }
        if (m_status == NIMBLiteStatus::error) {
            alert(m_errorMessage.value_or(QStringLiteral("Unknown Error")));
        } else if (!cancelled()) {
            showUpdatePage(m_updatePageURL.value_or(QString()), kManualSender);
        }
        m_onCompletion = previous;
        m_cachePolicy = previousPolicy;
        if (previous) {
            previous();
        }
    };
    showProgressWindow();
    m_cachePolicy = CachePolicy::reloadIgnoringLocalCacheData;
    checkURL(*url, kManualSender);
}

void NIMBLite::showProgressWindow()
{
    if (m_progressWindow.present) {
        m_progressWindow.present(this);
    }
}

void NIMBLite::alert(const QString &message)
{
    if (m_kit) {
        m_kit->showAlert(unableToCheck(), message, QString(), false);
    }
}

void NIMBLite::openInBrowser(const QString &address)
{
    if (m_kit) {
        m_kit->urlOpener().openUrl(QUrl(address, QUrl::StrictMode));
    }
}

void NIMBLite::validateOnlinePage(const QString &urlString)
{
    resetCheckState();
    appendLog(QStringLiteral("--- validateOnlinePage(inURLString:)"));
    checkURL(urlString, kValidateSender);
}

void NIMBLite::checkURL(const QString &urlString, const std::optional<QString> &sender)
{
    if (!sender) {
        resetCheckState();
    }
    appendLog(QStringLiteral("--- checkURL(inURLString:sender:); cachePolicy:.") + cachePolicyName(m_cachePolicy));
    if (!isValidUrlText(urlString)) {
        logError(QStringLiteral("URL is invalid"), true);
        return;
    }
    const QUrl url(urlString, QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         m_cachePolicy == CachePolicy::useProtocolCachePolicy ? QNetworkRequest::PreferNetwork
                                                                               : QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(m_requestTimeout.count()));
    // Follow redirects, but never from HTTPS down to HTTP.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);

    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
    }
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_body.clear();
    m_bodyTooLarge = false;
    m_deadlinePassed = false;
    // TLS errors are deliberately left unhandled: the reply fails with them.
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    // The transfer time-out starts again with every byte; a server that
    // trickles would keep the check open for ever without this.
    QTimer::singleShot(m_checkDeadline, reply, [this, reply] {
        if (!reply->isFinished()) {
            m_deadlinePassed = true;
            reply->abort();
        }
    });
    appendLog(QStringLiteral("Connecting to ") + url.toString(QUrl::FullyEncoded) + QStringLiteral("..."));

    const quint64 check = m_checkId;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxPageBytes && !m_bodyTooLarge) {
            m_bodyTooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { readAnswerBody(reply); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, check, sender] { handleAnswer(reply, check, sender); });
}

void NIMBLite::readAnswerBody(QNetworkReply *reply)
{
    if (m_bodyTooLarge || !reply->isOpen()) {
        return;
    }
    m_body.append(reply->readAll());
    if (m_body.size() > kMaxPageBytes) {
        m_bodyTooLarge = true;
        m_body.clear();
        reply->abort();
    }
}

void NIMBLite::handleAnswer(QNetworkReply *reply, quint64 check, const std::optional<QString> &sender)
{
    reply->deleteLater();
    if (reply == m_reply) {
        m_reply = nullptr;
    }
    if (check != m_checkId || cancelled()) {
        return;
    }
    if (m_bodyTooLarge) {
        logError(QStringLiteral("Response data too large: the page exceeds %1 bytes").arg(kMaxPageBytes), true);
        return;
    }
    if (m_deadlinePassed) {
        logError(QStringLiteral("Error: The server did not send the page within %1 seconds")
                     .arg(std::chrono::duration_cast<std::chrono::seconds>(m_checkDeadline).count()),
                 true);
        return;
    }
    readAnswerBody(reply);
    if (m_bodyTooLarge) {
        logError(QStringLiteral("Response data too large: the page exceeds %1 bytes").arg(kMaxPageBytes), true);
        return;
    }
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int statusCode = statusAttribute.isValid() ? statusAttribute.toInt() : 0;
    // Connection-level failures (refused, TLS, time-out, a refused redirect)
    // come first: a refused redirect still carries the 3xx status.
    const QNetworkReply::NetworkError failure = reply->error();
    if (failure != QNetworkReply::NoError && failure < QNetworkReply::ProxyConnectionRefusedError) {
        logError(QStringLiteral("Error: ") + reply->errorString(), true);
        return;
    }
    if (statusAttribute.isValid() && statusCode != 200) {
        logError(QStringLiteral("Error: Server said %1 %2").arg(statusCode).arg(httpStatusText(statusCode)), true);
        return;
    }
    if (failure != QNetworkReply::NoError) {
        logError(QStringLiteral("Error: ") + reply->errorString(), true);
        return;
    }
    if (!statusAttribute.isValid()) {
        logError(QStringLiteral("Error: Invalid server response"), true);
        return;
    }
    appendLog(QStringLiteral("Server response: 200; ") + headerOrUnknown(reply, "Last-Modified")
              + QStringLiteral("; size: ") + headerOrUnknown(reply, "Content-Length") + QStringLiteral("b; Etag: ")
              + headerOrUnknown(reply, "Etag"));
    if (m_body.isEmpty()) {
        logError(QStringLiteral("Response data invalid"), true);
        return;
    }
    const QByteArray body = std::exchange(m_body, QByteArray());
    // Parsing and verification run on a worker; this object is not touched
    // by the main thread until the worker hands back.
    m_processing = QtConcurrent::run([this, body, sender] { processHTML(body, sender); });
    m_processing.then(this, [this, check] { afterProcessing(check); });
}

void NIMBLite::afterProcessing(quint64 check)
{
    if (check != m_checkId || cancelled()) {
        return;
    }
    if (m_completionOwed) {
        m_completionOwed = false;
        deliverCompletion();
        return;
    }
    finishCheck();
}

void NIMBLite::processHTML(const QByteArray &data, const std::optional<QString> &sender)
{
    if (!sender) {
        resetCheckState();
    } else {
        appendLog(QStringLiteral("--- processHTML(_:sender:)"));
    }
    processPage(data);
    if (!sender) {
        finishCheck();
    }
}

void NIMBLite::processPage(const QByteArray &data)
{
    applyReading(readUpdatePage(data, readingContext()));
}

PageReadingContext NIMBLite::readingContext()
{
    PageReadingContext context;
    context.appVersion = m_appVersion;
    context.osVersion = m_OSVersion;
    context.bundleIdentifier = m_bundleIdentifier;
    context.architecture = m_architecture;
    context.publicKey = m_publicKey;
    context.inspect = m_map;
    context.status = m_status;
    context.archiveURLS = m_archiveURLS;
    if (const auto prefs = preferencesStore()) {
        context.ignoreMaintenance = updateprefs::flag(*prefs, updateprefs::kIgnoreMaintenance);
        if (const auto ignored = updateprefs::dictionary(*prefs, updateprefs::kIgnoreVersionInfo)) {
            context.ignoredBuild = updateprefs::integerEntry(*ignored, updateprefs::kBuildNumber);
        }
    }
    return context;
}

void NIMBLite::applyReading(const PageReading &reading)
{
    // Errors do not finish the check here: whoever processes the page ends
    // the check once processing is over, and the completion comes once.
    for (const PageStep &step : reading.steps) {
        switch (step.kind) {
        case PageStep::Kind::log:
            appendLog(step.text);
            break;
        case PageStep::Kind::error:
            logError(step.text, false);
            break;
        case PageStep::Kind::storeUpdate:
            storeUpdateInfo(step.update);
            break;
        case PageStep::Kind::checkAgainNow:
            setNextUpdateCheck(0);
            break;
        case PageStep::Kind::markUpdateAvailable:
            markUpdateAvailable();
            break;
        }
    }
    m_status = reading.status;
    m_dataFormat = reading.dataFormat;
    m_baseURL = reading.baseURL;
    m_maintenanceMode = reading.maintenanceMode;
    m_updateDetails = reading.updateDetails;
    m_archiveURLS = reading.archiveURLS;
}

void NIMBLite::showUpdatePage(const QString &urlString, const std::optional<QString> &sender)
{
    appendLog(QStringLiteral("--- showUpdatePage(inURLString:sender:)"));
    if (!isValidUrlText(urlString)) {
        logError(QStringLiteral("Invalid URL ") + urlString, true);
        return;
    }
    const std::optional<QString> systemVersion = fullKernelVersion(m_facts.kernelRelease);
    if (!systemVersion) {
        logError(QStringLiteral("Failed to get the Linux version."), true);
        openInBrowser(urlString);
        return;
    }
    if (m_facts.shortVersion.isEmpty()) {
        logError(QStringLiteral("Failed to get the application version"), true);
        openInBrowser(urlString);
        return;
    }
    QString address = urlString + QStringLiteral("?arc=") + m_architecture + QStringLiteral("&appver=")
                      + percentEncodeAlphanumerics(m_facts.shortVersion) + QStringLiteral("&macos=")
                      + percentEncodeAlphanumerics(*systemVersion) + QStringLiteral("&state=")
                      + QString::number(stateDigit(m_status));
    if (m_status == NIMBLiteStatus::updateAvailable) {
        if (m_updateDetails) {
            auto entry = [this](const QString &key) {
                const QVariant value = m_updateDetails->value(key);
                return percentEncodeAlphanumerics(value.isValid() ? value.toString() : QStringLiteral("Unknown"));
            };
            address += QStringLiteral("&groupid=") + entry(updateprefs::kGroupID) + QStringLiteral("&newver=")
                       + entry(updateprefs::kDisplayVersion);
        } else {
            logError(QStringLiteral("Failed to get update details"), false);
        }
    }
    if (!isValidUrlText(address)) {
        logError(QStringLiteral("Invalid URL ") + address, true);
        return;
    }
    openInBrowser(address);
    if (!sender) {
        finishCheck();
    }
}

} // namespace moraine
