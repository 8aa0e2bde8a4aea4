#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/Failure.h"

namespace tolvane::components::uploader {

// Every failure of "Sorvik.Uploader" carries this number and source.
inline constexpr std::int32_t kFailureNumber = -2147220991;  // 0x80040201
inline constexpr const char* kSource = "Sorvik.Uploader";

inline Failure UploaderFailure(std::string description) {
    return Failure(kFailureNumber, kSource, std::move(description));
}

}  // namespace tolvane::components::uploader
