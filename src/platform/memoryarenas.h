#pragma once

namespace platform {

/// Caps the C library's allocation arenas at `count`. Each copy worker would
/// otherwise get an arena of its own, and a headless run pays for the pages
/// every one of them touches; the workers allocate little, so they share.
void limitMemoryArenas(int count);

/// Gives the pages of freed allocations back to the system, which the C
/// library would otherwise keep. Called where much was just freed: a run's
/// plan at its end, a window's loading once it has drawn; a program that
/// stays open (or goes on to eject) would otherwise carry those pages.
void returnFreedMemory();

} // namespace platform
