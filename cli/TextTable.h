// Rows of text in columns as wide as their widest cell, two spaces apart.
#pragma once

#include <string>
#include <vector>

namespace cli {

// One line per row, without its line end; the last column is not padded.
std::vector<std::string> alignedRows(const std::vector<std::vector<std::string>>& rows);

}  // namespace cli
