#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Waiting on several sources at once (the stop request, a terminal's input), as each operating
// system does it.

namespace tolvane::platform {

// What a wait can watch: a file descriptor on POSIX systems, a handle on Windows.
using WaitHandle = std::intptr_t;
inline constexpr WaitHandle kNoWaitHandle = -1;

// The position of a source that is ready (readable, or signalled) in `sources`; -1 when
// `timeoutMs` (negative: no limit) passed, or a signal interrupted the wait, first. Sources that
// are kNoWaitHandle are not watched.
int WaitForAny(std::initializer_list<WaitHandle> sources, int timeoutMs);

// Reads what a ready input source holds; 0 at its end, -1 on a failure.
std::int64_t ReadReady(WaitHandle input, char* buffer, std::size_t count);

// Standard input, and whether a person types into it.
WaitHandle StandardInput();
bool IsTerminal(WaitHandle input);

}  // namespace tolvane::platform
