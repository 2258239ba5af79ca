#pragma once

#include "Moraine/update/nimblitestatus.h"
#include "Moraine/update/osversion.h"
#include "Moraine/update/rsakey.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace moraine {

/// The largest update page the service reads; a longer one is an error.
inline constexpr qsizetype kMaxUpdatePageBytes = 2 * 1024 * 1024;

/// What reading an update page depends on: the checking program, the
/// machine, the trusted key and the two preferences that change the reading.
struct PageReadingContext
{
    int appVersion = 0;
    OsVersion osVersion;
    QString bundleIdentifier;
    QString architecture;
    std::optional<RsaKey> publicKey;
    /// Inspection mode: report the whole page instead of choosing an update.
    bool inspect = false;
    /// The status when reading starts; groups are chosen only while busy.
    NIMBLiteStatus status = NIMBLiteStatus::busy;
    bool ignoreMaintenance = false;       ///< "NIMBIgnoreMaintenance"
    std::optional<qint64> ignoredBuild;   ///< the build of "NIMBIgnoreVersionInfo"
    QStringList archiveURLS;              ///< archive URLs seen so far (inspection)
};

/// One step of a reading, in the order it happened: a log line, a reported
/// error, or something the check must write to its preferences.
struct PageStep
{
    enum class Kind {
        log,                 ///< `text` is a log line
        error,               ///< `text` is an error message (logged with "Error: ")
        storeUpdate,         ///< `update` is the update found
        checkAgainNow,       ///< maintenance: the next silent check is due at once
        markUpdateAvailable, ///< a newer page format: an update is known to exist
    };
    Kind kind = Kind::log;
    QString text;
    QVariantMap update;
};

/// The result of reading a page: the steps to replay and the final values.
struct PageReading
{
    QList<PageStep> steps;
    NIMBLiteStatus status = NIMBLiteStatus::busy;
    std::optional<QString> errorMessage;
    std::optional<int> dataFormat;
    std::optional<QString> baseURL;
    bool maintenanceMode = false;
    std::optional<QVariantMap> updateDetails;
    QStringList archiveURLS;
};

/// Reads, verifies and evaluates an update page: parses it, checks format,
/// product and signature, and walks its groups to choose the update (or, in
/// inspection mode, reports every group). Touches nothing: what must be
/// logged or stored is in the result, in order.
[[nodiscard]] PageReading readUpdatePage(const QByteArray &page, const PageReadingContext &context);

/// A dictionary the way log lines show it: ["key": value, ...], keys sorted.
[[nodiscard]] QString describeDictionary(const QVariantMap &map);

} // namespace moraine
