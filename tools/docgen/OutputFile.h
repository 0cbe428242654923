// Writes a generated file, creating its folder; leaves an identical file untouched so the
// build does not redo what depends on it.
#pragma once

#include <string>

namespace docgen {

// False, with a message on stderr, when the file cannot be written.
bool writeOutputFile(const std::string& path, const std::string& content);

}  // namespace docgen
