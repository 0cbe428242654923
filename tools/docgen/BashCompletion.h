// A bash completion script: subcommands, options, folder and choice values.
#pragma once

#include <string>

#include "tools/docgen/CommandDoc.h"

namespace docgen {

std::string bashCompletion(const CommandDoc& program);

}  // namespace docgen
