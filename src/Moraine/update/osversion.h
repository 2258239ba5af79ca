#pragma once

#include <QString>

#include <compare>
#include <optional>

namespace moraine {

/// An operating-system version as major.minor, compared number by number:
/// 10.15 is above 10.9 (as version numbers, not as decimal fractions).
struct OsVersion
{
    int major = 0;
    int minor = 0;

    /// Reads a decimal version text such as "13", "13.0" or "10.15". Anything
    /// else (empty, negative, signs, exponents, a third number) gives nothing.
    [[nodiscard]] static std::optional<OsVersion> parse(const QString &text);
    /// The major.minor of a kernel release such as "6.1.0-18-amd64".
    [[nodiscard]] static std::optional<OsVersion> fromKernelRelease(const QString &release);

    /// "13.0", "10.15".
    [[nodiscard]] QString toString() const;

    auto operator<=>(const OsVersion &) const = default;
};

/// The text a log line shows for an optional bound: the version, or "-1.0".
[[nodiscard]] QString boundText(const std::optional<OsVersion> &bound);

/// Major, minor and patch numbers of a kernel release joined by "."
/// ("6.1.0-18-amd64" gives "6.1.0", "6.5" gives "6.5.0"); nothing when the
/// release does not start with major.minor.
[[nodiscard]] std::optional<QString> fullKernelVersion(const QString &release);

} // namespace moraine
