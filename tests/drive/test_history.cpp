// The update history file: appends from several writers, rotation, and a reader that
// survives whatever it finds in the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "drive/STUCMethod.h"
#include "drive/UpdateHistory.h"
#include "model/TempDir.h"

namespace {

using nlohmann::json;

std::string eventLine(const std::string& event, const std::string& id, json extra = json::object()) {
    json line{{"event", event}, {"time", "2026-01-01T00:00:00.000Z"}, {"update_id", id}, {"drive", "bd-1"}};
    line.update(extra);
    return line.dump() + "\n";
}

std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class HistoryFileTest : public ::testing::Test {
protected:
    TempDir dir_;
    HistoryFile file_{std::filesystem::path(dir_.path()) / "state" / "history.jsonl"};
};

TEST_F(HistoryFileTest, TwoWritersAtOnceNeverInterleaveALine) {
    constexpr int kLines = 300;
    const std::string padding(700, 'x');  // lines long enough that a split write would show
    auto writer = [&](const std::string& who) {
        for (int i = 0; i < kLines; ++i)
            ASSERT_EQ(appendHistoryLine(file_, eventLine("started", who + std::to_string(i), {{"message", padding}})),
                      std::nullopt);
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    std::map<char, int> next;  // each writer's lines arrive whole and in its own order
    const std::vector<std::string> lines = linesOf(file_.path);
    ASSERT_EQ(lines.size(), 2u * kLines);
    for (const std::string& text : lines) {
        const json line = json::parse(text, nullptr, false);
        ASSERT_FALSE(line.is_discarded()) << text.substr(0, 80);
        const std::string id = line["update_id"];
        EXPECT_EQ(id.substr(1), std::to_string(next[id[0]]++));
    }
    EXPECT_EQ(readUpdateHistory(file_).updates.size(), 2u * kLines);
}

// The "started" line ends up in the older file, its "ended" line in the new one.
TEST_F(HistoryFileTest, PastOneMiBTheFileRotatesAndBothAreRead) {
    std::filesystem::create_directories(file_.path.parent_path());
    {
        std::ofstream out(file_.path);
        out << eventLine("started", "first", {{"revision_before", "1.20"}});
        const std::string filler = eventLine("ended", "filler", {{"message", std::string(200, 'y')}});
        for (std::uintmax_t size = 0; size + 2 * filler.size() < kHistoryMaxBytes; size += filler.size()) out << filler;
    }
    const auto sizeBefore = std::filesystem::file_size(file_.path);
    ASSERT_EQ(appendHistoryLine(file_, eventLine("ended", "first", {{"result", "updated"}, {"message", std::string(300, 'z')}})),
              std::nullopt);
    EXPECT_EQ(std::filesystem::file_size(file_.older()), sizeBefore);
    EXPECT_EQ(linesOf(file_.path).size(), 1u);

    const UpdateHistory history = readUpdateHistory(file_);
    EXPECT_EQ(history.skippedLines, 0u);
    const UpdateRecord& first = history.updates.back();  // the oldest
    EXPECT_EQ(first.updateId, "first");
    EXPECT_EQ(first.status, HistoryStatus::Ended);
    EXPECT_EQ(first.revisionBefore, "1.20");
    EXPECT_EQ(first.result, "updated");
    EXPECT_TRUE(first.timeStarted && first.timeEnded);

    // Only one older file is kept.
    HistoryFile small = file_;
    small.maxBytes = 1;
    ASSERT_EQ(appendHistoryLine(small, eventLine("ended", "second")), std::nullopt);
    EXPECT_EQ(linesOf(file_.older()).size(), 1u);
    EXPECT_EQ(readUpdateHistory(file_).updates.size(), 2u);
}

TEST_F(HistoryFileTest, UnreadableLinesAreSkippedAndCountedNeverFatal) {
    const std::vector<std::string> bad = {
        "not json at all\n",
        eventLine("started", "cut").substr(0, 30) + "\n",    // a line cut short
        "[1, 2, 3]\n",
        eventLine("paused", "odd"),                          // no event of ours
        R"({"event":"ended","time":"t","drive":"bd-1"})" "\n",  // no update id
        eventLine("ended", "typed", {{"pid", "many"}}),      // a field of the wrong type
        std::string("\xff\xfe{\n"),
    };
    std::filesystem::create_directories(file_.path.parent_path());
    {
        std::ofstream out(file_.path);
        out << eventLine("started", "good");
        for (const std::string& line : bad) out << line << "\n";  // blank lines between: not counted
        out << eventLine("ended", "good", {{"result", "failed"}});
    }
    const UpdateHistory history = readUpdateHistory(file_);
    EXPECT_EQ(history.skippedLines, bad.size());
    ASSERT_EQ(history.updates.size(), 1u);
    EXPECT_EQ(history.updates[0].result, "failed");
    EXPECT_EQ(history.updates[0].status, HistoryStatus::Ended);
}

// Nothing was sent that changes the drive: no "started", and the end says why.
TEST_F(HistoryFileTest, AnUpdateRefusedBeforeItStartedHasItsEndAlone) {
    const UpdateHistorySource source{file_, "window", "9.9"};
    UpdateHooks hooks;
    hooks.history = &source;
    DeviceData unchosen;
    FirmFileData normal, kernel;
    UpdateReport report;
    EXPECT_FALSE(ExecUpdateMain(unchosen, normal, kernel, {}, hooks, &report));
    EXPECT_EQ(linesOf(file_.path).size(), 1u);
    const UpdateHistory history = readUpdateHistory(file_);
    ASSERT_EQ(history.updates.size(), 1u);
    const UpdateRecord& r = history.updates[0];
    EXPECT_EQ(r.result, "refused");
    EXPECT_EQ(r.failedStep, "take_drive");
    EXPECT_EQ(r.message, report.message());
    EXPECT_EQ(r.frontEnd, "window");
    EXPECT_FALSE(r.timeStarted);
    EXPECT_FALSE(report.historyProblem);
}

struct OpenCase {
    const char* name;
    std::optional<std::string> recordedBoot;
    bool processAlive;
    HistoryStatus status;
};

class UnendedUpdateTest : public HistoryFileTest, public ::testing::WithParamInterface<OpenCase> {};

// Never "interrupted" while the process that records it may still run the update.
TEST_P(UnendedUpdateTest, IsInProgressOnlyWhileItsProcessRunsOnThisBoot) {
    const OpenCase& c = GetParam();
    json extra{{"pid", 4242}};
    if (c.recordedBoot) extra["boot_id"] = *c.recordedBoot;
    ASSERT_EQ(appendHistoryLine(file_, eventLine("started", "open", extra)), std::nullopt);
    const auto alive = c.processAlive ? +[](std::int64_t pid) { return pid == 4242; } : +[](std::int64_t) { return false; };
    const UpdateHistory history = readUpdateHistory(file_, std::string("boot-now"), alive);
    ASSERT_EQ(history.updates.size(), 1u);
    EXPECT_EQ(history.updates[0].status, c.status);
    EXPECT_FALSE(history.updates[0].timeEnded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnendedUpdateTest,
    ::testing::Values(OpenCase{"RunningNow", "boot-now", true, HistoryStatus::InProgress},
                      OpenCase{"ProcessGone", "boot-now", false, HistoryStatus::Interrupted},
                      OpenCase{"BeforeARestart", "boot-then", true, HistoryStatus::Interrupted},
                      OpenCase{"BootUnknown", std::nullopt, true, HistoryStatus::Interrupted}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
