#include "tools/docgen/BashCompletion.h"

#include <sstream>

namespace docgen {

namespace {

std::string functionName(const std::string& program) { return "_" + shellIdentifier(program); }

std::string optionWords(const CommandDoc& command) {
    std::vector<std::string> words;
    for (const OptionDoc& option : command.options) {
        for (const std::string& name : option.names) words.push_back(name);
    }
    return joinWords(words, " ");
}

std::string commandWords(const CommandDoc& command) {
    std::vector<std::string> words;
    for (const CommandDoc& sub : command.subcommands) words.push_back(sub.name);
    return joinWords(words, " ");
}

}  // namespace

std::string bashCompletion(const CommandDoc& program) {
    const std::string function = functionName(program.name);
    const std::vector<CommandPath> paths = commandPaths(program);
    std::ostringstream out;
    out << "# bash completion for " << program.name << ", written by the build from its command line.\n";
    out << function << "() {\n";
    out << "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"\" path=\"\" i w skip=0 eq=0\n";
    out << "    (( COMP_CWORD > 0 )) && prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n";
    // '=' is a word of its own in COMP_WORDS: "--opt=VALUE" arrives as three words.
    out << "    if [[ $cur == \"=\" ]]; then\n";
    out << "        cur=\"\" eq=1\n";
    out << "    elif [[ $prev == \"=\" ]] && (( COMP_CWORD > 1 )); then\n";
    out << "        prev=\"${COMP_WORDS[COMP_CWORD-2]}\" eq=1\n";
    out << "    fi\n";
    // Walk the words before the cursor: names of subcommands lead deeper, values are skipped.
    out << "    for (( i = 1; i < COMP_CWORD; i++ )); do\n";
    out << "        w=\"${COMP_WORDS[i]}\"\n";
    out << "        if (( skip )); then skip=0; continue; fi\n";
    out << "        if [[ $w == \"=\" ]]; then skip=1; continue; fi\n";
    out << "        case \"$path:$w\" in\n";
    for (const CommandPath& path : paths) {
        const std::string here = joinWords(path.words, " ");
        for (const CommandDoc& sub : path.command->subcommands) {
            const std::string deeper = here.empty() ? sub.name : here + " " + sub.name;
            out << "            \"" << here << ":" << sub.name << "\") path=\"" << deeper << "\" ;;\n";
        }
        for (const OptionDoc& option : path.command->options) {
            if (!option.takesValue() || option.valueOptional) continue;
            for (const std::string& name : option.names) {
                out << "            \"" << here << ":" << name << "\") skip=1 ;;\n";
            }
        }
    }
    out << "        esac\n";
    out << "    done\n";
    // The value of the option before the cursor.
    out << "    case \"$path:$prev:$eq\" in\n";
    for (const CommandPath& path : paths) {
        const std::string here = joinWords(path.words, " ");
        for (const OptionDoc& option : path.command->options) {
            if (!option.takesValue()) continue;
            std::string action = "return 0";
            if (!option.choices.empty()) {
                action = "COMPREPLY=($(compgen -W \"" + joinWords(option.choices, " ") + "\" -- \"$cur\")); return 0";
            } else if (option.valueIsFolder) {
                action = "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")); return 0";
            }
            for (const std::string& name : option.names) {
                // An optional value only ever follows '='.
                out << "        \"" << here << ":" << name << ":" << (option.valueOptional ? "1" : "0") << "\"";
                if (!option.valueOptional) out << "|\"" << here << ":" << name << ":1\"";
                out << ") " << action << " ;;\n";
            }
        }
    }
    out << "    esac\n";
    // Options once a dash is typed, else the subcommands, else the options.
    out << "    local options=\"\" commands=\"\" words\n";
    out << "    case \"$path\" in\n";
    for (const CommandPath& path : paths) {
        out << "        \"" << joinWords(path.words, " ") << "\") options=\"" << optionWords(*path.command)
            << "\" commands=\"" << commandWords(*path.command) << "\" ;;\n";
    }
    out << "    esac\n";
    out << "    if [[ $cur == -* || -z $commands ]]; then words=\"$options\"; else words=\"$commands\"; fi\n";
    out << "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n";
    out << "}\n";
    out << "complete -F " << function << " " << program.name << "\n";
    return out.str();
}

}  // namespace docgen
