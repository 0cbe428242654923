#include "tools/docgen/CommandDoc.h"

#include <algorithm>
#include <cctype>

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

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string shellIdentifier(std::string name) {
    for (char& c : name) {
        if (c == '-' || c == '.') c = '_';
    }
    return name;
}

std::string nameLineSummary(std::string description) {
    description = description.substr(0, description.find('\n'));
    if (!description.empty() && description.back() == '.') description.pop_back();
    if (!description.empty()) description[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(description[0])));
    return description;
}

std::string concat(std::initializer_list<std::string_view> parts) {
    std::string joined;
    for (const std::string_view part : parts) joined.append(part);
    return joined;
}

}  // namespace docgen
