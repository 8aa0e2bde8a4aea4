#pragma once

// The program's version record.
namespace tolvane::version {

inline constexpr int kMajor = TOLVANE_VERSION_MAJOR;
inline constexpr int kMinor = TOLVANE_VERSION_MINOR;
inline constexpr int kRevision = TOLVANE_VERSION_REVISION;
inline constexpr const char* kFileDescription = "Generado 28-06-2010";
inline constexpr const char* kTitle = "Tolvane";

}  // namespace tolvane::version
