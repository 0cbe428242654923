#include <cassert>
#include <cstddef>
#include <cstdio>
#include <string>

#include "log/Console.h"
#include "drive/STUCMethod.h"
#include "drive/SenseMessages.h"
#include "drive/UnitReadiness.h"

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

// The sense key's name and the meaning of ASC/ASCQ, as PrintSenseString writes them.
std::string describeSense(const scsi::Sense& sense) {
    const std::uint8_t key = sense[2] & 0x0F;
    const std::uint8_t asc = sense[12];
    const std::uint8_t ascq = sense[13];
    std::string text = key < std::size(kSenseKeyNames) ? kSenseKeyNames[key] : kUnknownSenseKey;
    text += ", ";
    char number[8];
    if (const char* message = drive::additionalSenseMessage(asc, ascq)) {
        text += message;
    } else if (asc == kAscDiagnosticFailure) {
        std::snprintf(number, sizeof number, "$%02x", ascq);
        text += std::string("Diagnostic failure on component ") + number;
    } else if (asc == kAscTaggedOverlappedCommands) {
        std::snprintf(number, sizeof number, "$%02x", ascq);
        text += std::string("Tagged overlapped commands, queue tag = ") + number;
    }
    return text;
}

}  // namespace

std::string senseText(const scsi::Sense& sense) {
    char codes[24];
    std::snprintf(codes, sizeof codes, " (%X/%02X/%02X)", sense[2] & 0x0F, sense[12], sense[13]);
    return describeSense(sense) + codes;
}

// The tables are read-only: safe from any thread.
void PrintSenseString(const scsi::Sense* sense, bool addRawValues) {
    assert(sense != NULL);
    std::string line;
    if (addRawValues) {
        char raw[64];
        std::snprintf(raw, sizeof raw, "Key: $%02x, ASC: $%02x, ASCQ: $%02x  ", (*sense)[2] & 0x0F, (*sense)[12],
                      (*sense)[13]);
        line = raw;
    }
    kdulog::consoleErr("%s\n", (line + describeSense(*sense)).c_str());
}
