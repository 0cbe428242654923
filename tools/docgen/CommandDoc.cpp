#include "tools/docgen/CommandDoc.h"

namespace docgen {

bool OptionDoc::isHelp() const {
    for (const std::string& name : names) {
        if (name == "--help") return true;
    }
    return false;
}

namespace {

void collect(const CommandDoc& command, std::vector<std::string> words, std::vector<CommandPath>& paths) {
    paths.push_back({words, &command});
    for (const CommandDoc& sub : command.subcommands) {
        std::vector<std::string> deeper = words;
        deeper.push_back(sub.name);
        collect(sub, std::move(deeper), paths);
    }
}

}  // namespace

std::vector<CommandPath> commandPaths(const CommandDoc& program) {
    std::vector<CommandPath> paths;
    collect(program, {}, paths);
    return paths;
}

std::string joinWords(const std::vector<std::string>& words, const std::string& separator) {
    std::string joined;
    for (const std::string& word : words) {
        if (!joined.empty()) joined += separator;
        joined += word;
    }
    return joined;
}

std::string concat(std::initializer_list<std::string_view> parts) {
    std::string joined;
    for (const std::string_view part : parts) joined.append(part);
    return joined;
}

}  // namespace docgen
