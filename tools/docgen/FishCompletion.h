// A fish completion script: one `complete` line per option and subcommand, each bound to the
// subcommand path typed so far.
#pragma once

#include <string>

#include "tools/docgen/CommandDoc.h"

namespace docgen {

std::string fishCompletion(const CommandDoc& program);

}  // namespace docgen
