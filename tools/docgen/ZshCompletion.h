// A zsh completion function (#compdef) built on _arguments, one function per command.
#pragma once

#include <string>

#include "tools/docgen/CommandDoc.h"

namespace docgen {

std::string zshCompletion(const CommandDoc& program);

}  // namespace docgen
