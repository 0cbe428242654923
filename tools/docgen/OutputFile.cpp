#include "tools/docgen/OutputFile.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace docgen {

bool writeOutputFile(const std::string& path, const std::string& content) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    {
        std::ifstream existing(target, std::ios::binary);
        if (existing && std::string(std::istreambuf_iterator<char>(existing), {}) == content) return true;
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        std::cerr << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace docgen
