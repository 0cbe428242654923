#include <cassert>
#include <cstddef>
#include <cstdio>

#include "log/Console.h"
#include "drive/STUCMethod.h"
#include "drive/SenseMessages.h"

namespace {

// Indexed by the sense key; key 15 has no name of its own.
constexpr const char* kSenseKeyNames[] = {
    "No Sense",       "Recovered Error", "Not Ready",       "Medium Error",
    "Hardware Error", "Illegal Request", "Unit Attention",  "Data Protect",
    "Blank Check",    "Vendor Specific", "Copy Aborted",    "Aborted Command",
    "Equal (now obsolete)", "Volume Overflow", "Miscompare",
};
constexpr const char* kUnknownSenseKey = "Unknown Sense Code";

constexpr std::uint8_t kAscDiagnosticFailure = 0x40;
constexpr std::uint8_t kAscTaggedOverlappedCommands = 0x4D;

}  // namespace

// The line lives on this frame and the tables are read-only: safe from any thread.
void PrintSenseString(const platform::SCSI_Sense_Data* sense, bool addRawValues) {
    assert(sense != NULL);
    const std::uint8_t key = (*sense)[2] & 0x0F;
    const std::uint8_t asc = (*sense)[12];
    const std::uint8_t ascq = (*sense)[13];

    char line[256];
    std::size_t used = 0;
    auto append = [&](const char* format, auto... args) {
        if (used >= sizeof line) return;
        int n = std::snprintf(line + used, sizeof line - used, format, args...);
        if (n > 0) used += static_cast<std::size_t>(n);
    };

    line[0] = '\0';
    if (addRawValues) append("Key: $%02x, ASC: $%02x, ASCQ: $%02x  ", key, asc, ascq);
    append("%s", key < std::size(kSenseKeyNames) ? kSenseKeyNames[key] : kUnknownSenseKey);
    append("%s", ", ");
    if (const char* message = drive::additionalSenseMessage(asc, ascq)) {
        append("%s", message);
    } else if (asc == kAscDiagnosticFailure) {
        append("Diagnostic failure on component $%02x", ascq);
    } else if (asc == kAscTaggedOverlappedCommands) {
        append("Tagged overlapped commands, queue tag = $%02x", ascq);
    }
    kdulog::consoleErr("%s\n", line);
}
