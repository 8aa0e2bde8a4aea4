#pragma once

#include "common/VersionText.h"

// The program's version record.
namespace tolvane::version {

inline constexpr int kMajor = TOLVANE_VERSION_MAJOR;
inline constexpr int kMinor = TOLVANE_VERSION_MINOR;
inline constexpr int kRevision = TOLVANE_VERSION_REVISION;
inline constexpr const char* kFileDescription = TOLVANE_FILE_DESCRIPTION;
inline constexpr const char* kTitle = TOLVANE_TITLE;

}  // namespace tolvane::version
