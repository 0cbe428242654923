#include "tools/docgen/ZshCompletion.h"

#include <sstream>

namespace docgen {

namespace {

std::string functionName(const std::string& program, const std::vector<std::string>& words) {
    std::string name = "_" + program;
    for (const std::string& word : words) name += "_" + word;
    return shellIdentifier(name);
}

// Inside a single-quoted _arguments word: no quote, and brackets and colons escaped.
std::string argumentText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else if (c == '[' || c == ']' || c == ':' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

// Inside single quotes, where nothing else is special.
std::string quoted(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out;
}

std::string valueAction(const OptionDoc& option) {
    if (!option.choices.empty()) return concat({"(", joinWords(option.choices, " "), ")"});
    if (option.valueIsFolder) return "_files -/";
    return " ";
}

// '(-y --yes)'{-y,--yes}'[Do not ask]' and the like.
std::string optionArgument(const OptionDoc& option) {
    // Help excludes everything else; names of one option exclude each other.
    std::string excludes;
    if (option.isHelp()) {
        excludes = "(- *)";
    } else if (option.names.size() > 1) {
        excludes = concat({"(", joinWords(option.names, " "), ")"});
    }
    std::string word = "'" + excludes;
    if (option.names.size() > 1) {
        word += concat({"'{", joinWords(option.names, ","), "}'"});
    } else {
        word += option.names.front();
    }
    if (option.valueOptional) word += "=-";
    else if (option.takesValue()) word += "=";
    word += concat({"[", argumentText(option.description), "]"});
    if (option.takesValue()) {
        word += option.valueOptional ? "::" : ":";
        word += argumentText(option.valueName) + ":" + valueAction(option);
    }
    return word + "'";
}

void writeFunction(std::ostream& out, const std::string& program, const CommandPath& path) {
    const CommandDoc& command = *path.command;
    out << functionName(program, path.words) << "() {\n";
    out << "    local curcontext=\"$curcontext\" state line ret=1\n";
    out << "    typeset -A opt_args\n";
    out << "    _arguments -C -s";
    for (const OptionDoc& option : command.options) out << " \\\n        " << optionArgument(option);
    int position = 1;
    for (const ArgumentDoc& argument : command.arguments) {
        out << " \\\n        '" << position++ << ":" << argumentText(argument.name) << " - "
            << argumentText(argument.description) << ": '";
    }
    if (!command.subcommands.empty()) {
        out << " \\\n        '1: :->command' \\\n        '*:: :->argument'";
    }
    out << " && ret=0\n";
    if (!command.subcommands.empty()) {
        out << "    case $state in\n";
        out << "        command)\n";
        out << "            local -a commands\n";
        out << "            commands=(\n";
        for (const CommandDoc& sub : command.subcommands) {
            out << "                '" << argumentText(sub.name) << ":" << quoted(sub.description) << "'\n";
        }
        out << "            )\n";
        out << "            _describe -t commands '" << program << " command' commands && ret=0\n";
        out << "            ;;\n";
        out << "        argument)\n";
        out << "            curcontext=\"${curcontext%:*:*}:" << program << "-$words[1]:\"\n";
        out << "            case $words[1] in\n";
        for (const CommandDoc& sub : command.subcommands) {
            std::vector<std::string> deeper = path.words;
            deeper.push_back(sub.name);
            out << "                " << sub.name << ") " << functionName(program, deeper) << " && ret=0 ;;\n";
        }
        out << "            esac\n";
        out << "            ;;\n";
        out << "    esac\n";
    }
    out << "    return ret\n";
    out << "}\n\n";
}

}  // namespace

std::string zshCompletion(const CommandDoc& program) {
    std::ostringstream out;
    out << "#compdef " << program.name << "\n";
    out << "# zsh completion for " << program.name << ", written by the build from its command line.\n\n";
    for (const CommandPath& path : commandPaths(program)) writeFunction(out, program.name, path);
    out << functionName(program.name, {}) << " \"$@\"\n";
    return out.str();
}

}  // namespace docgen
