// The writers behind the manual pages and completions: what they read from kdu's CLI11
// definition, and how text is made safe for roff.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/CommandLineDefinition.h"
#include "tools/docgen/Cli11Doc.h"
#include "tools/docgen/ManPage.h"

namespace {

using docgen::CommandDoc;
using docgen::OptionDoc;

const OptionDoc* findOption(const CommandDoc& command, const std::string& name) {
    for (const OptionDoc& option : command.options) {
        if (std::find(option.names.begin(), option.names.end(), name) != option.names.end()) return &option;
    }
    return nullptr;
}

const CommandDoc* findCommand(const CommandDoc& program, const std::vector<std::string>& words) {
    for (const docgen::CommandPath& path : docgen::commandPaths(program)) {
        if (path.words == words) return path.command;
    }
    return nullptr;
}

class KduDefinitionDoc : public ::testing::Test {
protected:
    cli::CommandLine line;
    CommandDoc doc = docgen::describeCli11(line.app);
};

TEST_F(KduDefinitionDoc, ReachesEveryCommandParentsFirst) {
    std::vector<std::string> paths;
    for (const docgen::CommandPath& path : docgen::commandPaths(doc)) paths.push_back(docgen::joinWords(path.words, " "));
    EXPECT_EQ(paths, (std::vector<std::string>{"", "list", "images", "update", "watch", "history", "bench-inquiry", "sim",
                                               "sim attach", "sim detach", "sim insert", "sim eject", "sim demo"}));
}

// What the pages and completions show of an option: its value's name, whether the value may
// be left out or is a folder, its choices, every name of a flag; arguments are not options.
TEST_F(KduDefinitionDoc, OptionsCarryTheirValuesChoicesAndNames) {
    const OptionDoc* simulate = findOption(doc, "--simulate");
    ASSERT_NE(simulate, nullptr);
    EXPECT_EQ(simulate->valueName, "FOLDER");
    EXPECT_TRUE(simulate->valueOptional);
    EXPECT_TRUE(simulate->valueIsFolder);

    const CommandDoc* attach = findCommand(doc, {"sim", "attach"});
    ASSERT_NE(attach, nullptr);
    const OptionDoc* model = findOption(*attach, "--model");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->valueName, "MODEL");
    EXPECT_FALSE(model->valueOptional);
    EXPECT_EQ(model->choices, (std::vector<std::string>{"target", "other"}));
    ASSERT_EQ(attach->arguments.size(), 1u);
    EXPECT_EQ(attach->arguments.front().name, "NAME");
    EXPECT_EQ(findOption(*attach, "NAME"), nullptr);

    const CommandDoc* update = findCommand(doc, {"update"});
    ASSERT_NE(update, nullptr);
    const OptionDoc* yes = findOption(*update, "--yes");
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(yes->names, (std::vector<std::string>{"--yes", "-y"}));
    EXPECT_FALSE(yes->takesValue());
    EXPECT_TRUE(findOption(*update, "--help")->isHelp());
}

struct RoffCase {
    std::string name;
    std::string text;
    std::string roff;
};

// Readable test names in ctest's listing.
void PrintTo(const RoffCase& roffCase, std::ostream* out) { *out << roffCase.name; }

class RoffText : public ::testing::TestWithParam<RoffCase> {};

TEST_P(RoffText, IsSafeForRoff) { EXPECT_EQ(docgen::roffText(GetParam().text), GetParam().roff); }

INSTANTIATE_TEST_SUITE_P(
    Texts, RoffText,
    ::testing::Values(RoffCase{"Plain", "plain words", "plain words"},
                      RoffCase{"Hyphens", "--drive 1", "\\-\\-drive 1"},
                      RoffCase{"Backslash", "a\\b", "a\\eb"},
                      RoffCase{"LeadingDot", ".hidden request", "\\&.hidden request"},
                      RoffCase{"LeadingApostrophe", "'quoted", "\\&'quoted"},
                      RoffCase{"Code", "see `kdu list`", "see \\fBkdu list\\fR"},
                      RoffCase{"UnclosedCode", "open `code", "open \\fBcode\\fR"},
                      RoffCase{"LineBreak", "one\n.two", "one\n.br\n\\&.two"}),
    [](const ::testing::TestParamInfo<RoffCase>& param) { return param.param.name; });

TEST(ManPage, ShowsUsageOptionalValuesAndExitStatuses) {
    CommandDoc program{"tool", "Does things.", {}, {}, {}};
    program.options.push_back({{"--folder"}, "FOLDER", true, true, {}, "Where"});
    program.options.push_back({{"--count", "-c"}, "COUNT", false, false, {}, "How many"});
    program.subcommands.push_back({"run", "Runs it", {}, {{"NAME", "What to run"}}, {}});
    docgen::ManualDoc manual{"does things", "Tool 1.0", {"First paragraph."}, {{"0", "done"}}, {}, {"kdu(1)"}};

    const std::string page = docgen::manPage(program, manual);
    EXPECT_NE(page.find(".TH TOOL 1 \"\" \"Tool 1.0\""), std::string::npos);
    EXPECT_NE(page.find("tool \\- does things"), std::string::npos);
    EXPECT_NE(page.find("\\fB\\-\\-folder\\fR[=\\fIFOLDER\\fR]"), std::string::npos);
    EXPECT_NE(page.find("\\fB\\-c\\fR, \\fB\\-\\-count\\fR \\fICOUNT\\fR"), std::string::npos);
    EXPECT_NE(page.find("\\fBtool run\\fR \\fINAME\\fR"), std::string::npos);
    EXPECT_NE(page.find(".SH \"EXIT STATUS\"\n.TP\n\\fB0\\fR\ndone"), std::string::npos);
    EXPECT_NE(page.find(".BR kdu (1)"), std::string::npos);
}

}  // namespace
