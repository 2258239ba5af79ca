#pragma once

namespace platform {

/// Makes the desktop open addresses (default browser and mail program) and
/// reveal files (the file manager) for everyone using platform::urlOpener().
/// Called once by the application.
void installDesktopUrlOpener();

} // namespace platform
