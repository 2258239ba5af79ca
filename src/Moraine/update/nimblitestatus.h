#pragma once

#include <QString>

namespace moraine {

/// Outcome of an update check; log lines print the case name.
enum class NIMBLiteStatus {
    idle,
    busy,
    cancel,
    error,
    upToDate,
    updateAvailable,
    noUpdateForThisMac,
    noUpdateAtThisTime,
    formatInvalid,
    maintenance,
};

/// The case name, e.g. "noUpdateForThisMac".
[[nodiscard]] QString statusName(NIMBLiteStatus status);

/// The digit the update web page reads from "state".
[[nodiscard]] int stateDigit(NIMBLiteStatus status);

/// How the next request treats cached answers.
enum class CachePolicy { useProtocolCachePolicy, reloadIgnoringLocalCacheData };

[[nodiscard]] QString cachePolicyName(CachePolicy policy);

} // namespace moraine
