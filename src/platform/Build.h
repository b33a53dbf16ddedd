#pragma once

// The two builds of the program differ in a few text rules (delimiter, roots,
// history entries, settings and undo file names). Rules that are pure text take
// the build as a value so that both halves can be tested on any machine.
enum class Build { Linux, Windows };

#ifdef _WIN32
inline constexpr Build kThisBuild = Build::Windows;
#else
inline constexpr Build kThisBuild = Build::Linux;
#endif
