#pragma once

namespace platform {

/// Caps the C library's allocation arenas at `count`. Each copy worker would
/// otherwise get an arena of its own, and a headless run pays for the pages
/// every one of them touches; the workers allocate little, so they share.
void limitMemoryArenas(int count);

} // namespace platform
