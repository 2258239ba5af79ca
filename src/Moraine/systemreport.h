#pragma once

#include "Moraine/kmsysteminfo.h"

#include <QString>

#include <optional>

namespace moraine {

/// The three lines of system facts appended to a feedback e-mail.
struct SystemReport
{
    QString line1; ///< version, time since launch, translation, installation
    QString line2; ///< system version, uptime, language
    QString line3; ///< model, processor, clock, memory
};

/// Builds the report from `info`'s facts; `version` is the application's
/// version text (nothing: "Unknown").
[[nodiscard]] SystemReport buildSystemReport(const KMSystemInfo &info, const std::optional<QString> &version);

/// The operating system's version as the report and the kit alert show it:
/// "Debian GNU/Linux 12 (bookworm) with Linux 6.1.0-18-amd64".
[[nodiscard]] QString systemVersionText(const platform::SystemFacts &facts);

/// The three lines as one text, each ending in a line feed, as the feedback
/// e-mail carries them.
[[nodiscard]] QString reportText(const SystemReport &report);

/// A duration in short units, largest first, zero parts left out:
/// "2 days, 3 hr, 5 min"; "0 sec" for none; nothing for a negative one.
[[nodiscard]] std::optional<QString> shortDurationPhrase(qint64 seconds);

/// A memory size in multiples of 1024: "16 GB", "15.5 GB", "512 MB".
[[nodiscard]] QString memoryCountText(quint64 bytes);

/// The shortest decimal that reads back as `value`, always with a
/// fraction: "2.6", "3.0", "-1.0".
[[nodiscard]] QString gigahertzText(double value);

/// The English name of a language code ("de" gives "German"); nothing for an
/// empty or unknown code.
[[nodiscard]] std::optional<QString> englishLanguageName(const QString &code);

/// The installation text as the report shows it, with the signer prefixes
/// shortened.
[[nodiscard]] QString reportedSigner(QString identity);

} // namespace moraine
