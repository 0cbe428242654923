#include <gtest/gtest.h>

#include <sstream>

#include "cli/ProgressDisplay.h"

using cli::ProgressDisplay;

TEST(ProgressDisplayTest, ValueCountsDownToDone) {
    for (auto [value, percent] : {std::pair<std::int64_t, int>{0, 100}, {65535, 0}, {32768, 50}, {655, 99}, {70000, 0}})
        EXPECT_EQ(ProgressDisplay::percentFor(value), percent) << value;
}

TEST(ProgressDisplayTest, PlainOutputHasOneLinePerWholePercent) {
    std::ostringstream out;
    {
        ProgressDisplay display(out, std::nullopt);
        display.begin();
        for (std::int64_t v : {65535, 65500, 65400, 32768, 32767, 32700, 0, 0, -1, 0}) display.onValue(v);
    }
    EXPECT_EQ(out.str(),
              "Writing firmware...\n"
              "Installing firmware: 0%\n"
              "Installing firmware: 50%\n"
              "Installing firmware: 100%\n");
}

TEST(ProgressDisplayTest, PinnedBarGivesTheScreenBackEvenWithoutTheFinalValue) {
    std::ostringstream out;
    {
        ProgressDisplay display(out, 24);
        display.begin();
        display.onValue(32768);
    }
    const std::string text = out.str();
    EXPECT_NE(text.find("\033[1;23r"), std::string::npos);  // bar row kept out of the scrolling region
    EXPECT_NE(text.find("\033[24;1H"), std::string::npos);
    EXPECT_NE(text.find("50%"), std::string::npos);
    EXPECT_NE(text.rfind("\033[r"), std::string::npos);
    EXPECT_GT(text.rfind("\033[r"), text.find("50%"));
}

TEST(ProgressDisplayTest, TerminalOfUnknownHeightRedrawsOneLine) {
    std::ostringstream out;
    ProgressDisplay display(out, 0);
    display.begin();
    display.onValue(65535);
    display.onValue(0);
    display.onValue(-1);
    EXPECT_EQ(out.str().find("\033[1;"), std::string::npos);
    EXPECT_EQ(out.str().find('\n'), out.str().size() - 1);  // one line, ended once
    EXPECT_NE(out.str().find("\r\033[KInstalling firmware [" + std::string(40, '#') + "] 100%"), std::string::npos);
}
