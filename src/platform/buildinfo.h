#pragma once

#include <QString>

// The program's compiled-in identity: version, build number, bundle identifier
// and the maker's addresses, as configured in CMake.
namespace platform::buildinfo {

[[nodiscard]] QString applicationName();   // "Vellory 2"
[[nodiscard]] QString organizationName();  // "Brindlewick"
[[nodiscard]] QString shortVersion();      // e.g. "2.0.0"
[[nodiscard]] QString buildNumber();       // e.g. "200"
[[nodiscard]] QString bundleIdentifier();  // fixed, never read at run time
[[nodiscard]] QString makerWebsite();
[[nodiscard]] QString newsPage();
[[nodiscard]] QString productPage();
[[nodiscard]] QString updatePageUrl();
[[nodiscard]] QString supportEmail();
[[nodiscard]] QString shareFacebookHost(); // scheme and host of each share endpoint
[[nodiscard]] QString shareThreadsHost();
[[nodiscard]] QString shareXHost();

/// What `program --version` prints: "program 2.0.0" first, as GNU tools do,
/// then the build number and the maker.
[[nodiscard]] QString versionText(const QString &program);

} // namespace platform::buildinfo
