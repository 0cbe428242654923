// A line per command a simulated drive receives, written to the file named by
// KDU_SIMDRIVE_TRACE when it is set (else nothing is written). Both transports write it
// from the same place, so the commands the in-process simulator received and those the
// kernel bridge received can be compared line by line:
//   <drive> <CDB in hex> [out=<bytes> crc=<crc32 of the data-out>]
//   <drive> # holding <command name>        (a held answer starts)
//   <drive> # kernel <CDB in hex>           (the kernel's own housekeeping, bridge only)
#pragma once

#include <string>

#include "platform/Backend.h"

namespace sim {

inline constexpr char kTraceVariable[] = "KDU_SIMDRIVE_TRACE";

// The CDB length an operation code's group implies (6, 10, 12 or 16); `given` for the
// reserved and vendor groups. The kernel passes a target only that many bytes.
std::size_t groupCdbLength(std::uint8_t opcode, std::size_t given);

std::string traceLine(const std::string& drive, const platform::ScsiCommand& command);

// Appends one line to the trace, if there is one. Safe from any thread or process: each
// line is one append.
void writeTrace(const std::string& line);

}  // namespace sim
