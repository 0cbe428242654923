#include "tools/docgen/Cli11Doc.h"

#include <algorithm>
#include <cctype>

namespace docgen {

namespace {

// CLI11's own type names say little in a manual page; the option's name says more.
bool isGenericTypeName(const std::string& name) {
    return name.empty() || name == "TEXT" || name == "INT" || name == "UINT" || name == "FLOAT" || name == "NUMBER";
}

// "TEXT:{target,other}" -> "TEXT" and {"target", "other"}.
void splitTypeName(const std::string& typeName, std::string& base, std::vector<std::string>& choices) {
    const std::size_t colon = typeName.find(':');
    base = typeName.substr(0, colon);
    if (colon == std::string::npos) return;
    const std::string rest = typeName.substr(colon + 1);
    if (rest.size() < 2 || rest.front() != '{' || rest.back() != '}') return;
    std::string choice;
    for (const char c : rest.substr(1, rest.size() - 2)) {
        if (c == ',') {
            choices.push_back(choice);
            choice.clear();
        } else {
            choice += c;
        }
    }
    choices.push_back(choice);
}

OptionDoc describeOption(const CLI::Option& option) {
    OptionDoc doc;
    for (const std::string& name : option.get_lnames()) doc.names.push_back("--" + name);
    for (const std::string& name : option.get_snames()) doc.names.push_back("-" + name);
    doc.description = option.get_description();
    if (option.get_expected_max() == 0) return doc;  // a flag

    std::string base;
    splitTypeName(option.get_type_name(), base, doc.choices);
    const std::string longName = option.get_lnames().empty() ? option.get_snames().front() : option.get_lnames().front();
    doc.valueName = isGenericTypeName(base) ? upper(longName) : base;
    doc.valueOptional = option.get_expected_min() == 0;
    doc.valueIsFolder = doc.valueName == "FOLDER" || doc.valueName == "DIR";
    return doc;
}

}  // namespace

CommandDoc describeCli11(const CLI::App& app) {
    CommandDoc doc;
    doc.name = app.get_name();
    doc.description = app.get_description();
    doc.footer = app.get_footer();
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional()) {
            doc.options.push_back(describeOption(*option));
        } else {
            doc.arguments.push_back({option->get_name(), option->get_description()});
        }
    }
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        doc.subcommands.push_back(describeCli11(*sub));
    }
    return doc;
}

}  // namespace docgen
