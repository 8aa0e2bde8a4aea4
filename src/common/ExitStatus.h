#pragma once

// The program's exit statuses, which scripts and the installer read.
namespace tolvane::exit_status {

inline constexpr int kOk = 0;
inline constexpr int kPassFailed = 1;    // --once: a pass reported a failure
inline constexpr int kStillRunning = 1;  // --detener: another instance did not stop
inline constexpr int kLeftAsItWas = 1;   // --crear-historial: the table exists
inline constexpr int kNotRunning = 2;    // --once: start-up left the program idle or was cancelled
inline constexpr int kUntrapped = 3;     // a failure that nothing traps ended the program
inline constexpr int kAnotherInstance = 4;  // --once: another instance runs; no pass was made
inline constexpr int kUsage = 64;           // an option the program does not know

}  // namespace tolvane::exit_status
