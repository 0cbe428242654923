// A command line as its manual page and shell completions need it, independent of the
// parser that defined it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace docgen {

struct OptionDoc {
    std::vector<std::string> names;    // as typed: "--yes", "-y"
    std::string valueName;             // empty: a flag
    bool valueOptional = false;        // only as --name=VALUE
    bool valueIsFolder = false;        // completes folder names
    std::vector<std::string> choices;  // completes these words
    std::string description;

    bool takesValue() const { return !valueName.empty(); }
    bool isHelp() const;
};

struct ArgumentDoc {
    std::string name;
    std::string description;
};

struct CommandDoc {
    std::string name;
    std::string description;
    std::vector<OptionDoc> options;
    std::vector<ArgumentDoc> arguments;
    std::vector<CommandDoc> subcommands;
    std::string footer = {};  // "Example: kdu list --json"
};

// A subcommand with the names that lead to it from the program ("sim", "attach").
struct CommandPath {
    std::vector<std::string> words;
    const CommandDoc* command;
};

// The program itself first, then every subcommand, parents before children.
std::vector<CommandPath> commandPaths(const CommandDoc& program);

std::string joinWords(const std::vector<std::string>& words, const std::string& separator);

std::string upper(std::string text);
// A program's or command's name as a shell function may carry it: '-' and '.' become '_'.
std::string shellIdentifier(std::string name);
// "Installs the firmware.\n..." -> "installs the firmware", as a manual's NAME line reads.
std::string nameLineSummary(std::string description);

// The parts one after the other. GCC 12 warns (-Wrestrict, wrongly) about "literal" + a
// temporary string at -O3, so the writers build their strings with this.
std::string concat(std::initializer_list<std::string_view> parts);

}  // namespace docgen
