#include "tools/docgen/FishCompletion.h"

#include <sstream>

namespace docgen {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c == '\n' ? ' ' : c;
    }
    return out + "'";
}

std::string helperName(const std::string& program, const std::string& what) {
    return shellIdentifier(concat({"__", program, "_", what}));
}

std::string optionNames(const OptionDoc& option) {
    std::string names;
    for (const std::string& name : option.names) {
        if (name.rfind("--", 0) == 0) {
            names += concat({" -l ", name.substr(2)});
        } else {
            names += concat({" -s ", name.substr(1)});
        }
    }
    return names;
}

}  // namespace

std::string fishCompletion(const CommandDoc& program) {
    const std::string pathFunction = helperName(program.name, "path");
    const std::string atFunction = helperName(program.name, "at");
    const std::vector<CommandPath> paths = commandPaths(program);
    std::ostringstream out;
    out << "# fish completion for " << program.name << ", written by the build from its command line.\n\n";

    // The subcommands typed so far, skipping the values of options.
    out << "function " << pathFunction << "\n";
    out << "    set -l words (commandline -opc)\n";
    out << "    set -e words[1]\n";
    out << "    set -l path ''\n";
    out << "    set -l skip 0\n";
    out << "    for w in $words\n";
    out << "        if test $skip -eq 1\n";
    out << "            set skip 0\n";
    out << "            continue\n";
    out << "        end\n";
    out << "        switch \"$path:$w\"\n";
    for (const CommandPath& path : paths) {
        const std::string here = joinWords(path.words, " ");
        for (const CommandDoc& sub : path.command->subcommands) {
            const std::string deeper = here.empty() ? sub.name : here + " " + sub.name;
            out << "            case " << quoted(here + ":" + sub.name) << "\n";
            out << "                set path " << quoted(deeper) << "\n";
        }
        for (const OptionDoc& option : path.command->options) {
            if (!option.takesValue() || option.valueOptional) continue;
            for (const std::string& name : option.names) {
                out << "            case " << quoted(here + ":" + name) << "\n";
                out << "                set skip 1\n";
            }
        }
    }
    out << "        end\n";
    out << "    end\n";
    out << "    echo $path\n";
    out << "end\n\n";

    out << "function " << atFunction << "\n";
    out << "    set -l here (" << pathFunction << ")\n";
    out << "    test \"$here\" = \"$argv[1]\"\n";
    out << "end\n\n";

    out << "complete -c " << program.name << " -f\n";
    for (const CommandPath& path : paths) {
        const std::string condition = concat({" -n ", quoted(concat({atFunction, " '", joinWords(path.words, " "), "'"}))});
        for (const OptionDoc& option : path.command->options) {
            out << "complete -c " << program.name << condition << optionNames(option);
            if (option.takesValue() && !option.valueOptional) {
                out << " -x";
                if (!option.choices.empty()) {
                    out << " -a " << quoted(joinWords(option.choices, " "));
                } else if (option.valueIsFolder) {
                    out << " -a '(__fish_complete_directories)'";
                }
            }
            out << " -d " << quoted(option.description) << "\n";
        }
        for (const CommandDoc& sub : path.command->subcommands) {
            out << "complete -c " << program.name << condition << " -a " << quoted(sub.name) << " -d "
                << quoted(sub.description) << "\n";
        }
    }
    return out.str();
}

}  // namespace docgen
