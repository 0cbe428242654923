// A section 1 manual page in roff, from a command line and the prose around it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/docgen/CommandDoc.h"

namespace docgen {

struct ManualDoc {
    std::string summary;                   // the NAME line, after "program \-"
    std::string source;                    // the footer, e.g. "KestoryDriveUpdater 1.0.0"
    std::vector<std::string> description;  // paragraphs
    std::vector<std::pair<std::string, std::string>> exitStatuses;
    std::vector<std::pair<std::string, std::string>> files;  // path, what it is
    std::vector<std::string> seeAlso;                        // "kdu(1)"
};

std::string manPage(const CommandDoc& program, const ManualDoc& manual);

// Text made safe for roff: hyphens as minus signs, backslashes escaped, no line that starts
// a request, and `code` in bold.
std::string roffText(const std::string& text);

}  // namespace docgen
