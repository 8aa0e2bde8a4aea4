#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <source_location>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace tolvane::test {

// Runs `action`, which must raise a Failure with `number`, from `source` unless that is empty,
// whose description holds every one of `texts`. Gives the failure back for further checks (a
// blank one when none came); a mismatch is reported at the caller's line.
inline Failure ExpectFailure(const std::function<void()>& action, std::int32_t number,
                             const std::string& source = "",
                             const std::vector<std::string>& texts = {},
                             std::source_location at = std::source_location::current()) {
    const ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "");
    try {
        action();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_EQ(failure.source(), source.empty() ? failure.source() : source);
        for (const auto& text : texts)
            EXPECT_NE(failure.description().find(text), std::string::npos)
                << "'" << text << "' not in: " << failure.description();
        return failure;
    }
    ADD_FAILURE() << "no failure was raised, expected " << number;
    return Failure(0, "", "");
}

// ExpectFailure for the failures of one component, each also within `within` when given.
struct FailureFrom {
    std::string source;
    Failure operator()(const std::function<void()>& action, std::int32_t number,
                       const std::vector<std::string>& texts = {},
                       std::chrono::steady_clock::duration within = std::chrono::hours(1),
                       std::source_location at = std::source_location::current()) const {
        const auto start = std::chrono::steady_clock::now();
        Failure failure = ExpectFailure(action, number, source, texts, at);
        EXPECT_LT(std::chrono::steady_clock::now() - start, within) << "line " << at.line();
        return failure;
    }
};

// The values joined by "|", to compare several at once and see them all when they differ.
inline std::string Joined(std::initializer_list<std::string> values) {
    std::string joined;
    for (const auto& value : values)
        joined += value + "|";
    return joined.substr(0, joined.empty() ? 0 : joined.size() - 1);
}

}  // namespace tolvane::test
