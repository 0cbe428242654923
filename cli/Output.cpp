#include "cli/Output.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "log/LogRouting.h"

namespace cli {

namespace {

Verbosity currentVerbosity = Verbosity::Normal;

// A closed stdout never stops the command.
void writeAll(int fd, std::string_view text) {
    // What went through the C++ streams first comes first.
    std::cout.flush();
    std::fflush(stdout);
    kdulog::writeFully(fd, text);
}

}  // namespace

void setVerbosity(Verbosity verbosity) { currentVerbosity = verbosity; }

Verbosity verbosity() { return currentVerbosity; }

void routeLog() {
    kdulog::Routing routing;
    routing.file = kdulog::defaultLogFile("kdu.log");
    routing.toStderr = currentVerbosity == Verbosity::Verbose;
    if (std::optional<std::string> error = kdulog::setRouting(routing); error && currentVerbosity != Verbosity::Quiet)
        sayError(*error + " (log lines are not kept)");
}

void say(std::string_view text) {
    if (currentVerbosity != Verbosity::Quiet) writeAll(STDOUT_FILENO, text);
}

void answer(std::string_view text) { writeAll(STDOUT_FILENO, text); }

void sayError(std::string_view text) {
    std::string line = "kdu: ";
    line += text;
    if (line.back() != '\n') line += '\n';
    writeAll(STDERR_FILENO, line);
}

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace cli
