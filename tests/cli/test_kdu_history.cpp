// Every update leaves its record, and `kdu history` shows them.
#include <vector>

#include "KduFixture.h"

namespace {

class KduHistoryTest : public SimFolderTest {
protected:
    std::filesystem::path historyFile() const { return root_ / "state" / "kestory-drive-updater" / "history.jsonl"; }
};

TEST_F(KduHistoryTest, SuccessAndFailureAreRecordedAndShownNewestFirst) {
    const RunResult empty = run({"history"});
    EXPECT_EQ(empty.exitStatus, 0);
    EXPECT_EQ(empty.out, "no updates recorded\n");

    attach("good");
    attach("refuses", {{"faults", {{"writeBufferPiece", 5}}}});
    ASSERT_EQ(run({simulate(), "update", "--drive", "good", "--dry-run"}).exitStatus, 0);  // not recorded
    ASSERT_EQ(run({simulate(), "update", "--drive", "good", "--yes"}).exitStatus, 0);
    ASSERT_EQ(run({simulate(), "update", "--drive", "refuses", "--yes"}).exitStatus, 1);

    // Each event is one line of its own, "started" before anything changed the drive.
    std::vector<std::string> events;
    std::ifstream in(historyFile());
    for (std::string line; std::getline(in, line);) events.push_back(nlohmann::json::parse(line)["event"]);
    EXPECT_EQ(events, (std::vector<std::string>{"started", "ended", "started", "ended"}));

    const std::vector<nlohmann::json> updates = history();
    ASSERT_EQ(updates.size(), 2u);
    const nlohmann::json& failed = updates[0];
    EXPECT_EQ(failed["drive"], "refuses");
    EXPECT_EQ(failed["status"], "ended");
    EXPECT_EQ(failed["result"], "failed");
    EXPECT_EQ(failed["failed_step"], "write_normal_image");
    EXPECT_EQ(failed["drive_state"], "update_mode");
    EXPECT_FALSE(failed.contains("revision_after")) << "the drive reported none at the end";
    EXPECT_EQ(failed["update_id"].get<std::string>().size(), 32u);
    const nlohmann::json& updated = updates[1];
    EXPECT_EQ(updated["drive"], "good");
    EXPECT_EQ(updated["result"], "updated");
    EXPECT_EQ(updated["drive_state"], "updated");
    EXPECT_EQ(updated["model"], "BD-RW KVL-MT38");
    EXPECT_EQ(updated["revision_before"], "1.20");
    EXPECT_EQ(updated["revision_after"], "1.21");
    EXPECT_EQ(updated["image_revision"], "1.21");
    EXPECT_EQ(updated["front_end"], "kdu");
    EXPECT_FALSE(updated.contains("failed_step"));
    EXPECT_LE(updated["time_started"].get<std::string>(), updated["time_ended"].get<std::string>());
    EXPECT_NE(updated["update_id"], failed["update_id"]);

    const RunResult table = run({"history"});
    EXPECT_EQ(table.exitStatus, 0);
    const std::string& text = table.out;
    EXPECT_EQ(text.find("TIME "), 0u) << text;
    EXPECT_NE(text.find("1.20 -> 1.21"), std::string::npos) << text;
    EXPECT_NE(text.find("1.20 -> ?"), std::string::npos) << text;
    EXPECT_NE(text.find("\n    writing the firmware: the drive refused piece"), std::string::npos) << text;
    EXPECT_LT(text.find("refuses"), text.find("good")) << "newest first";
}

// The record is beside the work: a history that cannot be written costs the update nothing.
TEST_F(KduHistoryTest, AnUnwritableHistoryOnlyWarns) {
    std::filesystem::create_directories(historyFile());  // a folder where the file should be
    attach("a");
    const RunResult result = run({simulate(), "update", "--drive", "a", "--yes"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(load("a").revision, "1.21");
    EXPECT_NE(result.err.find("kdu: warning: the update was not recorded in the history: "), std::string::npos)
        << result.err;
}

}  // namespace
