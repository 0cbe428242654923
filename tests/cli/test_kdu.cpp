// kdu run as a user runs it, on simulated drives.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "KduProcess.h"
#include "SimFolderFixture.h"

using kdu_test::runKdu;
using nlohmann::json;

namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

class KduListTest : public SimFolderTest {
protected:
    json listJson() {
        const kdu_test::RunResult r = runKdu({simulate(), "list", "--json"});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return json::parse(r.out);
    }
    void attachMixedDrives() {
        attach("a");
        attach("b");
        attach("current", withRevision("1.21"));
        sim::DriveSpec other = sim::defaultTargetDrive();
        other.product = "DVD-RAM KVL-D20";
        attach("other", other);
    }
};

TEST_F(KduListTest, JsonNumbersTwinsAndMarksEligibility) {
    attachMixedDrives();
    const json drives = listJson().at("drives");
    ASSERT_EQ(drives.size(), 3u);  // the other model is not listed
    std::set<std::string> keys;
    for (const auto& [key, value] : drives[0].items()) keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"index", "title", "vendor", "product", "revision", "date", "hard_version",
                                           "krnl_version", "dest_version", "judgeKrnl", "driveMode", "disc", "eligible",
                                           "same", "sameNo"}));
    std::vector<std::tuple<int, bool, bool, int, std::string>> seen;
    for (const json& d : drives)
        seen.emplace_back(d["index"], d["eligible"], d["same"], d["sameNo"], d["revision"]);
    EXPECT_EQ(seen, (std::vector<std::tuple<int, bool, bool, int, std::string>>{
                        {1, true, true, 1, "1.20"}, {2, true, true, 2, "1.20"}, {3, false, false, 0, "1.21"}}));
    EXPECT_TRUE(drives[0]["title"].get<std::string>().ends_with("  [1]"));
    EXPECT_TRUE(drives[2]["title"].get<std::string>().ends_with("1.21" + std::string(sim::kDefaultDate) + " "));
}

TEST_F(KduListTest, TextShowsEachDriveWithItsVerdict) {
    attachMixedDrives();
    const kdu_test::RunResult r = runKdu({simulate(), "list"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("1. KESTORY"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  [2]\n"), std::string::npos);
    EXPECT_EQ(occurrences(r.out, "may be updated"), 2u);
    EXPECT_EQ(occurrences(r.out, "up to date or not eligible"), 1u);
    EXPECT_EQ(r.out.find("4. "), std::string::npos);
}

TEST_F(KduListTest, NoDriveIsNotAnError) {
    const kdu_test::RunResult text = runKdu({simulate(), "list"});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_NE(text.out.find("No drive found."), std::string::npos);
    EXPECT_EQ(listJson(), json::parse(R"({"drives":[]})"));
}

TEST_F(KduListTest, SimCommandsChangeWhatIsListed) {
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), simulate());
        const kdu_test::RunResult r = runKdu(args);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
    };
    run({"sim", "attach", "drive1"});
    run({"sim", "attach", "foreign", "--model", "other"});
    run({"sim", "attach", "drive2", "--kernel", "--disc", "Movie"});
    json drives = listJson().at("drives");
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]["disc"], false);
    EXPECT_EQ(drives[1]["driveMode"], 1);  // a drive left in kernel mode may be updated again
    EXPECT_EQ(drives[1]["eligible"], true);
    EXPECT_EQ(drives[1]["disc"], true);

    run({"sim", "insert", "drive1", "--volume", "Backup"});
    run({"sim", "eject", "drive2"});
    drives = listJson().at("drives");
    EXPECT_EQ(drives[0]["disc"], true);
    EXPECT_EQ(drives[1]["disc"], false);

    run({"sim", "detach", "drive1"});
    EXPECT_EQ(listJson().at("drives").size(), 1u);
}

TEST_F(KduListTest, DefaultFolderIsMadeWithTheDemoDrives) {
    const kdu_test::RunResult r = runKdu({"--simulate", "list", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const json drives = json::parse(r.out).at("drives");
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0]["eligible"], true);
    EXPECT_EQ(drives[1]["sameNo"], 2);
}

TEST_F(SimFolderTest, ImagesJsonCarriesBothHeaders) {
    const kdu_test::RunResult r = runKdu({"images", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const json images = json::parse(r.out);
    for (const char* role : {"kernel", "normal"}) {
        SCOPED_TRACE(role);
        const json& image = images.at(role);
        EXPECT_EQ(image["isFileExists"], true);
        EXPECT_EQ(image["revision"], "1.21");
        EXPECT_EQ(image["hard_version"], sim::kDefaultHardVersion);
        EXPECT_EQ(image["dest_version"], sim::kDefaultDestVersion);
        EXPECT_TRUE(image.contains("krnl_version") && image.contains("product") && image.contains("date"));
    }
}

class KduUpdateTest : public SimFolderTest {};

TEST_F(KduUpdateTest, YesInstallsTheShippedRevision) {
    attach("a");
    attach("b");
    const kdu_test::RunResult r = runKdu({simulate(), "update", "--drive", "2", "--yes"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("Complete!"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Writing firmware..."), std::string::npos);
    EXPECT_NE(r.err.find("Installing firmware: 100%"), std::string::npos);
    EXPECT_EQ(load("b").revision, "1.21");
    EXPECT_EQ(load("b").mode, sim::DriveMode::Normal);
    EXPECT_EQ(load("a").revision, "1.20");
}

struct FaultCase {
    const char* name;
    void (*apply)(sim::DriveFaults&);
};

class KduUpdateFaultTest : public SimFolderTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(KduUpdateFaultTest, FailingDriveGivesError) {
    sim::DriveSpec spec = sim::defaultTargetDrive();
    GetParam().apply(spec.faults);
    attach("a", spec);
    const kdu_test::RunResult r = runKdu({simulate(), "update", "--yes"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find("Error!"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Complete!"), std::string::npos);
    EXPECT_NE(load("a").revision, "1.21");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KduUpdateFaultTest,
    ::testing::Values(FaultCase{"WrongRevisionAfterInstall", [](sim::DriveFaults& f) { f.installRevision = "1.20"; }},
                      FaultCase{"SwitchBackRefused", [](sim::DriveFaults& f) { f.modeChangeToNormal = true; }},
                      FaultCase{"WritesNotDelivered",
                                [](sim::DriveFaults& f) {
                                    sim::CommandFault fault;
                                    fault.name = "WRITE BUFFER";
                                    fault.kind = sim::CommandFault::Kind::DeliveryFailure;
                                    f.commands.push_back(fault);
                                }}),
    [](const auto& test) { return std::string(test.param.name); });

struct AnswerCase {
    const char* name;
    const char* input;
    int exitStatus;
};

class KduConfirmTest : public SimFolderTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(KduConfirmTest, OnlyAnExplicitYesStartsTheUpdate) {
    attach("a");
    const kdu_test::RunResult r = runKdu({simulate(), "update"}, GetParam().input);
    EXPECT_EQ(r.exitStatus, GetParam().exitStatus) << r.err;
    EXPECT_NE(r.err.find("Do not disconnect the drive"), std::string::npos);
    const bool started = GetParam().exitStatus == 0;
    EXPECT_EQ(r.out.find("write completed.") != std::string::npos, started);
    EXPECT_EQ(load("a").revision, started ? "1.21" : "1.20");
    EXPECT_FALSE(load("a").install.has_value());
}

INSTANTIATE_TEST_SUITE_P(Answers, KduConfirmTest,
                         ::testing::Values(AnswerCase{"No", "n\n", 4}, AnswerCase{"EndOfInput", "", 4},
                                           AnswerCase{"EmptyLineMeansNo", "\n", 4},
                                           AnswerCase{"Other", "ok\n", 4}, AnswerCase{"Yes", "yes\n", 0}),
                         [](const auto& test) { return std::string(test.param.name); });

struct ErrorCase {
    const char* name;
    void (*setUp)(const std::filesystem::path& folder);
    const char* folderSuffix;  // appended to the folder kdu is given
    std::vector<std::string> args;
    int exitStatus;
    const char* message;
};

void attachWith(const std::filesystem::path& folder, void (*change)(sim::DriveSpec&)) {
    sim::DriveSpec spec = sim::defaultTargetDrive();
    change(spec);
    ASSERT_EQ(sim::attach(folder, "a", spec), std::nullopt);
}

class KduErrorTest : public SimFolderTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(KduErrorTest, ClearMessageAndStatus) {
    GetParam().setUp(folder_);
    std::vector<std::string> args{simulate() + GetParam().folderSuffix};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const kdu_test::RunResult r = runKdu(args);
    EXPECT_EQ(r.exitStatus, GetParam().exitStatus);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("write completed."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, KduErrorTest,
    ::testing::Values(
        ErrorCase{"MissingFolder", [](const std::filesystem::path&) {}, "/absent", {"list"}, 1,
                  "absent does not exist"},
        ErrorCase{"MalformedDriveFile",
                  [](const std::filesystem::path& f) { std::ofstream(f / "broken.json") << "{ \"vendor\": "; }, "",
                  {"list"}, 1, "broken.json"},
        ErrorCase{"UnknownDriveNumber", [](const std::filesystem::path& f) { attachWith(f, [](sim::DriveSpec&) {}); },
                  "", {"update", "--drive", "3", "--yes"}, 2, "no drive 3"},
        ErrorCase{"DriveZero", [](const std::filesystem::path& f) { attachWith(f, [](sim::DriveSpec&) {}); }, "",
                  {"update", "--drive", "0", "--yes"}, 2, "no drive 0"},
        ErrorCase{"DriveUpToDate",
                  [](const std::filesystem::path& f) { attachWith(f, [](sim::DriveSpec& s) { s.revision = "1.21"; }); },
                  "", {"update", "--yes"}, 3, "may not be updated"},
        ErrorCase{"OtherHardware",
                  [](const std::filesystem::path& f) {
                      attachWith(f, [](sim::DriveSpec& s) { s.hard_version = "MT38HW09"; });
                  },
                  "", {"update", "--yes"}, 3, "may not be updated"}),
    [](const auto& test) { return std::string(test.param.name); });
