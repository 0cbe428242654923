#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/ProgressDisplay.h"
#include "model/NotificationNames.h"

using cli::ProgressDisplay;
using namespace std::chrono_literals;

namespace {

// A display writing into `writes` (one entry per write) on a clock the test moves.
struct DisplayHarness {
    explicit DisplayHarness(bool terminal)
        : display([this](std::string_view text) { writes.emplace_back(text); }, terminal, [this] { return now; }) {}
    std::string all() const {
        std::string text;
        for (const std::string& w : writes) text += w;
        return text;
    }
    void sendImages() {
        display.onProgress({UpdateStep::ToKernelMode, 0, 0});
        for (std::uint64_t i = 0; i <= 3; ++i) display.onProgress({UpdateStep::WriteKernelImage, i, 3});
        for (std::uint64_t done = 0; done <= 1024 * 1024; done += 32768) {
            display.onProgress({UpdateStep::WriteNormalImage, done, 1024 * 1024});
            now += 100ms;
        }
        display.onProgress({UpdateStep::ToNormalMode, 0, 0});
        display.onProgress({UpdateStep::Install, 0, 0});
    }
    std::vector<std::string> writes;
    ProgressDisplay::Clock::time_point now{};
    ProgressDisplay display;
};

// 65536 - v of 65536 done: the value for a whole percent.
std::int64_t valueFor(int percent) { return 65536LL * (100 - percent) / 100; }

}  // namespace

TEST(ProgressDisplayTest, ValueCountsDownToDone) {
    for (auto [value, percent] : {std::pair<std::int64_t, int>{0, 100}, {65535, 0}, {32768, 50}, {655, 99}, {70000, 0}})
        EXPECT_EQ(installPercent(value), percent) << value;
}

TEST(ProgressDisplayTest, PlainOutputHasALinePerPhaseAndPerTenPercent) {
    DisplayHarness h(false);
    h.sendImages();
    for (int percent = 0; percent <= 100; ++percent) {
        h.display.onValue(valueFor(percent));
        h.display.onValue(valueFor(percent));  // the drive repeats itself
    }
    h.display.onValue(-1);
    ASSERT_EQ(h.writes.size(), 12u) << h.all();
    EXPECT_EQ(h.writes[0], "Writing kernel image (3 pieces)\n");
    EXPECT_EQ(h.writes[1], "Writing firmware 1024 KiB\n");
    EXPECT_EQ(h.writes[2], "Installing 10 %\n");
    EXPECT_EQ(h.writes[11], "Installing 100 %\n");
    for (const std::string& w : h.writes) EXPECT_EQ(w.find('\033'), std::string::npos) << w;
}

TEST(ProgressDisplayTest, PlainOutputNeverGoesBack) {
    DisplayHarness h(false);
    for (int percent : {0, 35, 20, 36, 41}) h.display.onValue(valueFor(percent));
    EXPECT_EQ(h.all(), "Installing 35 %\nInstalling 41 %\n");
}

TEST(ProgressDisplayTest, PlainOutputSaysWhileTheDriveIsAwaitedAndGoesOnFromWhereItIsBack) {
    DisplayHarness h(false);
    for (int percent : {0, 12}) h.display.onValue(valueFor(percent));
    h.display.onProgress({UpdateStep::AwaitReturn, 0, 0});
    h.display.onProgress({UpdateStep::Install, 0, 0});
    for (int percent : {61, 65, 100}) h.display.onValue(valueFor(percent));
    EXPECT_EQ(h.all(), "Installing 12 %\nWaiting for the drive to come back\nInstalling 61 %\nInstalling 100 %\n");
}

TEST(ProgressDisplayTest, TerminalRedrawsOneLineWithPhaseTexts) {
    DisplayHarness h(true);
    h.sendImages();
    h.display.onValue(valueFor(43));
    h.display.onValue(-1);
    const std::string text = h.all();
    EXPECT_NE(text.find("\r\033[KWriting kernel image 3/3"), std::string::npos);
    EXPECT_NE(text.find("\r\033[KWriting firmware 512 KiB of 1024 KiB"), std::string::npos);
    EXPECT_NE(text.find("\r\033[KInstalling 43 %"), std::string::npos);
    EXPECT_EQ(text.find('\n'), text.size() - 1);  // one line, ended once
    EXPECT_EQ(text.find("\033[1;"), std::string::npos);  // no scroll region
    for (const std::string& w : h.writes) EXPECT_EQ(w.find('\n'), w == "\n" ? 0 : std::string::npos);
}

TEST(ProgressDisplayTest, TimeLeftOnceItCanBeEstimated) {
    DisplayHarness h(true);
    h.display.onValue(valueFor(10));
    h.now += 1s;
    h.display.onValue(valueFor(20));
    EXPECT_EQ(h.writes.back().find("left"), std::string::npos) << "too early to tell";
    h.now += 9s;  // 30 % in 10 s: 50 % more takes about 17 s
    h.display.onValue(valueFor(40));
    EXPECT_NE(h.writes.back().find("Installing 40 %, about 20 s left"), std::string::npos) << h.writes.back();
    // While the firmware goes out, its rate gives the estimate too.
    h.display.onProgress({UpdateStep::WriteNormalImage, 0, 1000});
    h.now += 4s;
    h.display.onProgress({UpdateStep::WriteNormalImage, 500, 1000});
    EXPECT_NE(h.writes.back().find(", about 4 s left"), std::string::npos) << h.writes.back();
}

TEST(ProgressDisplayTest, TimeLeftTexts) {
    EXPECT_EQ(ProgressDisplay::timeLeftText(0s), "about 1 s left");
    EXPECT_EQ(ProgressDisplay::timeLeftText(40s), "about 40 s left");
    EXPECT_EQ(ProgressDisplay::timeLeftText(200s), "about 3 min left");
}

TEST(ProgressDisplayTest, NothingAfterFinish) {
    DisplayHarness h(true);
    h.display.onValue(valueFor(50));
    h.display.finish();
    h.display.onValue(valueFor(60));
    h.display.onProgress({UpdateStep::CheckRevision, 0, 0});
    const std::string text = h.all();
    EXPECT_EQ(text.substr(text.size() - 16), "Installing 50 %\n");
}
