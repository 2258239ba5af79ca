#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace platform {

/// The application's per-user preferences store (organisation "Brindlewick",
/// application "Vellory 2"), the same store for the window, the command line
/// and the update service whatever the process's own names are.
[[nodiscard]] std::unique_ptr<QSettings> preferences();

} // namespace platform
