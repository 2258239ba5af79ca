#pragma once

#include "Moraine/kitservices.h"
#include "Moraine/kmresult.h"
#include "Moraine/update/hostfacts.h"

#include <QString>

#include <optional>

namespace moraine {

/// Percent-encodes everything but ASCII letters and digits ("2.0.1" gives "2%2E0%2E1").
[[nodiscard]] QString percentEncodeAlphanumerics(const QString &text);

/// Whether a text is an absolute URL (with a scheme) that parses strictly.
[[nodiscard]] bool isValidUrlText(const QString &text);

/// The downloads page address with the machine's query: "?arc=" + "ass" or
/// "x86", "&ver=" + short version, "&build=" + build, "&macos=" + kernel
/// major.minor.patch. For a machine of another kind, the error "Unknown CPU
/// type: " + machine.
[[nodiscard]] KMResult<QString> downloadsPageAddress(const QString &pageURL, const HostFacts &facts);

/// Opens the downloads page for this machine in the default browser, or
/// shows the kit alert when that is not possible.
void checkForUpdatePageShow(KitServices &kit, const QString &pageURL);

} // namespace moraine
