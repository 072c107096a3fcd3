// Crash points for testing the sealer's recovery: with ORVEX_AUDIT_CRASH_AT
// set to a step's name, the process ends at that step at once, without
// unwinding or flushing, as a kill or a power cut would end it. Only the
// sealing commands pass crash points.
#pragma once

#include <string_view>

namespace orvex::audit_tool {

inline constexpr const char* kCrashVariable = "ORVEX_AUDIT_CRASH_AT";
// The exit status of a crash at a crash point.
inline constexpr int kCrashExit = 86;

void crash_point(std::string_view step);

}  // namespace orvex::audit_tool
