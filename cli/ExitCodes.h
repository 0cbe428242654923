// Exit statuses of kdu, shared by every command so scripts can tell outcomes apart.
#pragma once

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;       // the update failed, or the setup did (backend, files)
inline constexpr int kExitUsage = 2;         // bad arguments, unknown drive number
inline constexpr int kExitNotEligible = 3;   // the chosen drive may not be updated
inline constexpr int kExitCancelled = 4;     // the user declined the confirmation

}  // namespace cli
