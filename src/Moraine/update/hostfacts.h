#pragma once

#include <QString>

#include <optional>

namespace moraine {

/// What an update check needs to know about the running program and the
/// machine. current() reads them; tools and tests build their own.
struct HostFacts
{
    QString buildNumber;      // compiled-in build, e.g. "200"
    QString shortVersion;     // compiled-in version, e.g. "2.0.0"
    QString bundleIdentifier; // compiled-in identifier
    QString kernelRelease;    // e.g. "6.1.0-18-amd64"
    QString machine;          // e.g. "x86_64", "aarch64"

    [[nodiscard]] static HostFacts current();
};

/// The architecture code the update service reports: "ass" on 64-bit ARM,
/// "x86" for every other machine.
[[nodiscard]] QString architectureCode(const QString &machine);

/// The code for the downloads page query: "ass" on 64-bit ARM, "x86" on the
/// x86 family, nothing for a machine of another kind.
[[nodiscard]] std::optional<QString> downloadsArchitectureCode(const QString &machine);

} // namespace moraine
