// A line per command a simulated drive receives, written to the file named by
// KDU_SIMDRIVE_TRACE when it is set (else nothing is written). Both transports write it
// from the same place, so the commands the in-process simulator received and those the
// kernel bridge received can be compared line by line:
//   <drive> <CDB in hex> [out=<bytes> crc=<crc32 of the data-out>]
//   <drive> # holding <command name>        (a held answer starts)
//   <drive> # kernel <CDB in hex>           (the kernel's own housekeeping, bridge only)
#pragma once

#include <string>

#include "scsi/Command.h"

namespace sim {

inline constexpr char kTraceVariable[] = "KDU_SIMDRIVE_TRACE";

// Whether a trace is kept: lines are built only then, off the simulator's timed path.
bool tracing();

// Appends one line to the trace, if there is one. Safe from any thread or process: each
// line is one append.
void writeTrace(const std::string& line);

// "<drive> [<mark> ]<CDB in hex>[ out=… crc=…]", when a trace is kept.
void traceCommand(const std::string& drive, const scsi::Command& command, const char* mark = nullptr);

}  // namespace sim
