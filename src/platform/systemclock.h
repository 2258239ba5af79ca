#pragma once

namespace platform {

/// Seconds since the system booted, including time spent suspended.
[[nodiscard]] double systemUptime();

} // namespace platform
