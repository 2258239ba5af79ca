#pragma once

namespace platform {

/// Caps the C library's allocation arenas at `count`. Each copy worker would
/// otherwise get an arena of its own, and a headless run pays for the pages
/// every one of them touches; the workers allocate little, so they share.
void limitMemoryArenas(int count);

/// Gives the pages of freed allocations back to the system. A run's plan and
/// findings are freed at its end, but the C library keeps their pages; a
/// program that stays open (or goes on to eject) would otherwise carry them.
void returnFreedMemory();

} // namespace platform
