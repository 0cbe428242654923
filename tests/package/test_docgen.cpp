// The manual page writer: its layout of usage and values, and how text is made safe for
// roff. What it reads from kdu's definition is checked on the built pages and completions.
#include <gtest/gtest.h>

#include "tools/docgen/ManPage.h"

namespace {

using docgen::CommandDoc;

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
