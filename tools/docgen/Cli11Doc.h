// Reads a CLI11 App, its options and every subcommand, into a CommandDoc.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/docgen/CommandDoc.h"

namespace docgen {

CommandDoc describeCli11(const CLI::App& app);

}  // namespace docgen
