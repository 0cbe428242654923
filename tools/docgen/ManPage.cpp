#include "tools/docgen/ManPage.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace docgen {

namespace {

std::string escapePlain(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

std::string bold(const std::string& text) { return concat({"\\fB", escapePlain(text), "\\fR"}); }
std::string italic(const std::string& text) { return concat({"\\fI", escapePlain(text), "\\fR"}); }

// "\fB\-y\fR, \fB\-\-yes\fR \fIDRIVE\fR": short names first, as manual pages list them.
std::string optionTerm(const OptionDoc& option) {
    std::vector<std::string> names = option.names;
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    std::string term;
    for (const std::string& name : names) {
        if (!term.empty()) term += ", ";
        term += bold(name);
    }
    if (option.valueOptional) {
        term += concat({"[=", italic(option.valueName), "]"});
    } else if (option.takesValue()) {
        term += concat({" ", italic(option.valueName)});
    }
    return term;
}

// The usage of one command: "\fBkdu sim attach\fR [\fIOPTIONS\fR] \fINAME\fR".
std::string usage(const std::vector<std::string>& words, const CommandDoc& command, bool withGlobalOptions) {
    std::string line = bold(joinWords(words, " "));
    const bool hasOptions = std::any_of(command.options.begin(), command.options.end(),
                                        [](const OptionDoc& option) { return !option.isHelp(); });
    if (withGlobalOptions || hasOptions) line += concat({" [", italic("OPTIONS"), "]"});
    if (!command.subcommands.empty()) line += concat({" ", italic("COMMAND"), " [", italic("COMMAND OPTIONS"), "]"});
    for (const ArgumentDoc& argument : command.arguments) line += concat({" ", italic(argument.name)});
    return line;
}

void writeOptions(std::ostream& out, const CommandDoc& command, bool withHelp) {
    for (const OptionDoc& option : command.options) {
        if (option.isHelp() && !withHelp) continue;
        out << ".TP\n" << optionTerm(option) << "\n" << roffText(option.description) << "\n";
    }
    for (const ArgumentDoc& argument : command.arguments) {
        out << ".TP\n" << italic(argument.name) << "\n" << roffText(argument.description) << "\n";
    }
}

}  // namespace

std::string roffText(const std::string& text) {
    std::string out;
    bool inCode = false;
    for (const char c : text) {
        if (c == '`') {
            out += inCode ? "\\fR" : "\\fB";
            inCode = !inCode;
        } else if (c == '\n') {
            out += "\n.br\n";
        } else {
            out += escapePlain(std::string(1, c));
        }
    }
    if (inCode) out += "\\fR";
    // A line that starts with a dot or an apostrophe would be read as a request.
    std::string safe;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!safe.empty()) safe += "\n";
        if (!line.empty() && (line[0] == '.' || line[0] == '\'') && line != ".br") safe += "\\&";
        safe += line;
    }
    return safe;
}

std::string manPage(const CommandDoc& program, const ManualDoc& manual) {
    std::ostringstream out;
    out << ".\\\" Written by the build from " << program.name << "'s command line; do not edit.\n";
    out << ".TH " << upper(program.name) << " 1 \"\" \"" << manual.source << "\" \"User Commands\"\n";
    out << ".SH NAME\n" << escapePlain(program.name) << " \\- " << roffText(manual.summary) << "\n";

    out << ".SH SYNOPSIS\n" << usage({program.name}, program, true) << "\n";

    out << ".SH DESCRIPTION\n";
    bool first = true;
    for (const std::string& paragraph : manual.description) {
        if (!first) out << ".PP\n";
        out << roffText(paragraph) << "\n";
        first = false;
    }

    out << ".SH OPTIONS\n";
    writeOptions(out, program, true);

    const std::vector<CommandPath> paths = commandPaths(program);
    if (paths.size() > 1) {
        out << ".SH COMMANDS\n";
        out << "Every command also takes " << bold("-h") << ", " << bold("--help") << ".\n";
        for (const CommandPath& path : paths) {
            if (path.words.empty()) continue;
            std::vector<std::string> words{program.name};
            words.insert(words.end(), path.words.begin(), path.words.end());
            out << ".TP\n" << usage(words, *path.command, false) << "\n" << roffText(path.command->description) << "\n";
            if (!path.command->footer.empty()) out << ".br\n" << roffText(path.command->footer) << "\n";
            std::ostringstream options;
            writeOptions(options, *path.command, false);
            if (!options.str().empty()) out << ".RS\n" << options.str() << ".RE\n";
        }
    }

    if (!manual.exitStatuses.empty()) {
        out << ".SH \"EXIT STATUS\"\n";
        for (const auto& [status, meaning] : manual.exitStatuses) {
            out << ".TP\n" << bold(status) << "\n" << roffText(meaning) << "\n";
        }
    }
    if (!manual.files.empty()) {
        out << ".SH FILES\n";
        for (const auto& [path, what] : manual.files) {
            out << ".TP\n" << italic(path) << "\n" << roffText(what) << "\n";
        }
    }
    if (!manual.seeAlso.empty()) {
        out << ".SH \"SEE ALSO\"\n";
        std::string list;
        for (const std::string& page : manual.seeAlso) {
            const std::size_t paren = page.find('(');
            if (!list.empty()) list += ",\n";
            list += concat({".BR ", escapePlain(page.substr(0, paren)), " ", page.substr(paren)});
        }
        out << list << "\n";
    }
    return out.str();
}

}  // namespace docgen
