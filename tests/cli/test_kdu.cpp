// kdu run as a user runs it, on simulated drives.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "KduFixture.h"

using nlohmann::json;

namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class KduListTest : public SimFolderTest {
protected:
    json listJson() {
        const RunResult r = run({simulate(), "list", "--json"});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return json::parse(r.out).at("drives");
    }
    void attachMixedDrives() {
        attach("a");
        attach("b");
        attach("current", {{"identity", {{"revision", "1.21"}}}});
        attach("other", {{"identity", {{"product", "DVD-RAM KVL-D20"}}}});
    }
};

// Both output modes of the same drives: the other model is left out, twins are numbered,
// each drive carries its verdict.
TEST_F(KduListTest, ShowsEachDriveWithItsVerdictInTextAndJson) {
    attachMixedDrives();
    const RunResult text = run({simulate(), "list"});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_NE(text.out.find("1. KESTORY"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  [2]\n"), std::string::npos);
    EXPECT_EQ(occurrences(text.out, ", may be updated\n"), 2u);
    EXPECT_EQ(occurrences(text.out, "may not be updated: its firmware is up to date"), 1u);
    EXPECT_EQ(occurrences(text.out, "   at current ("), 1u) << "each drive says where it is";
    EXPECT_TRUE(text.out.ends_with("\n3 drives: 2 may be updated, 1 may not be updated.\n")) << text.out;

    const json drives = listJson();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0]["nodes"], json::array({sim::driveFilePath(folder_, "a").string()}));
    EXPECT_EQ(drives[2]["reason"], "up_to_date");
    EXPECT_EQ(drives[2]["reason_text"], "its firmware is up to date");
    std::vector<std::tuple<std::string, int, bool, json, std::string>> seen;
    for (const json& d : drives) seen.emplace_back(d["id"], d["index"], d["may_update"], d["twin"], d["revision"]);
    EXPECT_EQ(seen, (decltype(seen){{"a", 1, true, 1, "1.20"}, {"b", 2, true, 2, "1.20"},
                                    {"current", 3, false, nullptr, "1.21"}}));
    // Texts trimmed; the fixed-width fields as the drive sent them under "raw".
    EXPECT_EQ(drives[0]["vendor"], "KESTORY");
    EXPECT_EQ(drives[0]["raw"]["vendor"], "KESTORY ");
    EXPECT_EQ(drives[0]["raw"]["product"].get<std::string>().size(), 16u);
    EXPECT_TRUE(drives[0]["title"].get<std::string>().ends_with("  [1]"));
    EXPECT_TRUE(drives[2]["title"].get<std::string>().ends_with("1.21" + std::string(sim::kDefaultDate)));
}

// Each listing holds every drive for a moment; one that finds a drive held by the other
// asks again rather than leaving it out.
TEST_F(KduListTest, TwoListingsAtOnceEachSeeEveryDrive) {
    attachMixedDrives();
    const auto a = root_ / "a.json", b = root_ / "b.json";
    for (int round = 0; round < 5; ++round) {
        const std::string line = kduLine({simulate(), "list", "--json"});
        ASSERT_EQ(std::system(("(" + line + " >" + a.string() + " 2>/dev/null & " + line + " >" + b.string() +
                               " 2>/dev/null; wait)")
                                  .c_str()),
                  0);
        for (const auto& path : {a, b}) {
            const json listed = json::parse(slurp(path));
            ASSERT_EQ(listed.at("drives").size(), 3u) << "round " << round << ": " << listed.dump();
            EXPECT_EQ(listed.at("summary").at("not_examined"), 0) << "round " << round << ": " << listed.dump();
        }
    }
}

TEST_F(KduListTest, NoDriveIsNotAnError) {
    const RunResult text = run({simulate(), "list"});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_NE(text.out.find("No drive found."), std::string::npos);
    EXPECT_EQ(listJson(), json::array());
    EXPECT_EQ(json::parse(run({simulate(), "list", "--json"}).out)["summary"],
              (json{{"drives", 0}, {"may_update", 0}, {"may_not_update", 0}, {"not_examined", 0}}));
}

TEST_F(KduListTest, SimCommandsChangeWhatIsListed) {
    for (std::vector<std::string> args : {std::vector<std::string>{"attach", "drive1"},
                                          {"attach", "foreign", "--model", "other"},
                                          {"attach", "drive2", "--kernel", "--disc", "Movie"}}) {
        args.insert(args.begin(), {simulate(), "sim"});
        EXPECT_EQ(run(args).exitStatus, 0) << args[2];
    }
    json drives = listJson();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]["disc"], false);
    EXPECT_EQ(drives[1]["mode"], "kernel");  // a drive left in kernel mode may be updated again
    EXPECT_EQ(drives[1]["may_update"], true);
    EXPECT_EQ(drives[1]["disc"], true);

    EXPECT_EQ(run({simulate(), "sim", "insert", "drive1", "--volume", "Backup"}).exitStatus, 0);
    EXPECT_EQ(run({simulate(), "sim", "eject", "drive2"}).exitStatus, 0);
    drives = listJson();
    EXPECT_EQ(drives[0]["disc"], true);
    EXPECT_EQ(drives[1]["disc"], false);

    EXPECT_EQ(run({simulate(), "sim", "detach", "drive1"}).exitStatus, 0);
    EXPECT_EQ(listJson().size(), 1u);
}

TEST_F(KduListTest, DefaultFolderIsMadeWithTheDemoDrives) {
    const RunResult r = run({"--simulate", "list", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const json drives = json::parse(r.out).at("drives");
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0]["may_update"], true);
    EXPECT_EQ(drives[1]["twin"], 2);
}

struct AnswerCase {
    const char* input;
    int exitStatus;
};

class KduConfirmTest : public SimFolderTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(KduConfirmTest, OnlyAnExplicitYesStartsTheUpdate) {
    attach("a");
    const RunResult r = run({simulate(), "update"}, GetParam().input);
    EXPECT_EQ(r.exitStatus, GetParam().exitStatus) << r.err;
    EXPECT_NE(r.err.find("Do not disconnect the drive"), std::string::npos);
    const bool started = GetParam().exitStatus == 0;
    EXPECT_EQ(r.out.find("Complete!") != std::string::npos, started);
    EXPECT_EQ(load("a").revision, started ? "1.21" : "1.20");
    EXPECT_FALSE(load("a").install.has_value());
}

INSTANTIATE_TEST_SUITE_P(Answers, KduConfirmTest,
                         ::testing::Values(AnswerCase{"n\n", 4}, AnswerCase{"", 4}, AnswerCase{"\n", 4},
                                           AnswerCase{"ok\n", 4}, AnswerCase{"yes\n", 0}));

struct ErrorCase {
    const char* name;
    const char* driveFile;  // drive "a": merged into the default file, or written as it stands if not JSON
    const char* folderSuffix;
    std::vector<std::string> args;
    int exitStatus;  // 2 and 3: refused before anything is sent
    const char* err;
    const char* out;
};

class KduErrorTest : public SimFolderTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(KduErrorTest, ClearMessageAndStatus) {
    const ErrorCase& c = GetParam();
    const json patch = json::parse(c.driveFile, nullptr, false);
    if (patch.is_discarded()) std::ofstream(sim::driveFilePath(folder_, "a")) << c.driveFile;
    else attach("a", patch);
    std::vector<std::string> args{simulate() + c.folderSuffix};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = run(args);
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Complete!"), std::string::npos);
    if (c.exitStatus > 1) {
        EXPECT_EQ(r.out.find("write completed."), std::string::npos);
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            EXPECT_EQ(sim::driveNameOf(entry.path()).value_or("a"), "a") << "no drive was attached";
    }
    if (!patch.is_discarded() && c.folderSuffix[0] == '\0') {
        EXPECT_EQ(load("a").revision, patch.value(json::json_pointer("/identity/revision"), "1.20"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, KduErrorTest,
    ::testing::Values(
        ErrorCase{"MissingFolder", "{}", "/absent", {"list"}, 1, "absent does not exist; make one with demo drives in it: kdu --simulate=", ""},
        ErrorCase{"MalformedDriveFile", "{ \"vendor\": ", "", {"list"}, 0, "a.json: malformed JSON near byte 13; left out", ""},
        ErrorCase{"UnknownDriveNumber", "{}", "", {"update", "--drive", "3", "--yes"}, 2, "no drive 3", ""},
        ErrorCase{"DriveZero", "{}", "", {"update", "--drive", "0", "--yes"}, 2, "no drive 0", ""},
        ErrorCase{"UnknownDriveId", "{}", "", {"update", "--drive", "b", "--yes"}, 2, "no drive \"b\"", ""},
        ErrorCase{"YesWithoutNamingTheDrive", "{}", "", {"update", "--yes"}, 2, "--yes needs --drive", ""},
        ErrorCase{"DriveUpToDate", R"({"identity": {"revision": "1.21"}})", "", {"update", "--drive", "a", "--yes"}, 3,
                  "may not be updated: its firmware is up to date", ""},
        ErrorCase{"OtherHardware", R"({"readBuffer": {"hard_version": "MT38HW09"}})", "",
                  {"update", "--drive", "1", "--yes"}, 3, "may not be updated: the firmware is for other hardware", ""},
        ErrorCase{"WrongRevisionAfterInstall", R"({"faults": {"installRevision": "1.20"}})", "",
                  {"update", "--drive", "a", "--yes"}, 1, "checking the new firmware: the drive reports revision", "Error!"},
        ErrorCase{"SwitchBackRefused", R"({"faults": {"modeChange": "toNormal"}})", "",
                  {"update", "--drive", "a", "--yes"}, 1, "run the update again to finish; do not unplug it", "Error!"},
        ErrorCase{"WritesNotDelivered", R"({"faults": {"commands": [{"command": "WRITE BUFFER", "delivery": true}]}})",
                  "", {"update", "--drive", "a", "--yes"}, 1, "kdu: drive a: ", "Error!"},
        // sim writes only what the listing reads, by the drive file's own rules.
        ErrorCase{"SimRevisionTooLong", "{}", "", {"sim", "attach", "x", "--revision", "12345"}, 2,
                  "kdu: --revision \"12345\": identity.revision: longer than 4 bytes\n", ""},
        ErrorCase{"SimRevisionNotText", "{}", "", {"sim", "attach", "x", "--revision", "1.2\xff"}, 2,
                  "kdu: --revision \"1.2\\xff\": not UTF-8 text\n", ""},
        ErrorCase{"SimNameWithEscape", "{}", "", {"sim", "insert", "a\x1b[m", "--volume", "V"}, 2,
                  "\"a\\x1b[m\" is not a usable drive name", ""},
        ErrorCase{"SimNameTaken", "{}", "", {"sim", "attach", "a"}, 1, "drive \"a\" is attached already", ""}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace

namespace {

// Holds a simulated drive as another program would: its exclusive access, for the holder's life.
class DriveHeldElsewhere {
public:
    DriveHeldElsewhere(const std::filesystem::path& folder, const std::string& name)
        : fd_(::open((folder / ("." + name + ".lock")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
    }
    ~DriveHeldElsewhere() { ::close(fd_); }

private:
    int fd_;
};

class KduChoiceTest : public SimFolderTest {};

// A drive held elsewhere keeps its place in the list, so numbers still name the drives they
// did; naming the busy one, however, says why it cannot be taken.
TEST_F(KduChoiceTest, ABusyDriveKeepsItsNumberAndIsRefusedWithItsReason) {
    attach("a");
    attach("b");
    attach("c");
    {
        const DriveHeldElsewhere busy(folder_, "a");
        const RunResult list = run({simulate(), "list"});
        EXPECT_NE(list.out.find("1. KESTORY BD-RW KVL-MT38"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find("   not examined, may not be updated: in use by another program\n"), std::string::npos)
            << list.out;
        EXPECT_NE(list.out.find("3 drives: 2 may be updated, 1 could not be examined.\n"), std::string::npos) << list.out;

        for (const std::string& word : {std::string("1"), std::string("a"), sim::driveFilePath(folder_, "a").string()}) {
            const RunResult refused = run({simulate(), "update", "--drive", word, "--yes"});
            EXPECT_EQ(refused.exitStatus, 1) << word;
            EXPECT_NE(refused.err.find("drive " + word + " is in use by another program; try again when it is free."),
                      std::string::npos)
                << refused.err;
        }
        const RunResult byNumber = run({simulate(), "update", "--drive", "2", "--yes"});
        EXPECT_EQ(byNumber.exitStatus, 0) << byNumber.err;
        const RunResult byNode =
            run({simulate(), "update", "--drive", sim::driveFilePath(folder_, "c").string(), "--yes"});
        EXPECT_EQ(byNode.exitStatus, 0) << byNode.err;
    }
    EXPECT_EQ(load("a").revision, "1.20");
    EXPECT_EQ(load("b").revision, "1.21");
    EXPECT_EQ(load("c").revision, "1.21");
}

TEST_F(KduChoiceTest, WithoutDriveOnlyALoneEligibleDriveIsTaken) {
    attach("a");
    attach("b");
    const RunResult two = run({simulate(), "update"}, "yes\n");
    EXPECT_EQ(two.exitStatus, 2);
    EXPECT_NE(two.err.find("2 drives may be updated; choose one with --drive"), std::string::npos) << two.err;
    EXPECT_NE(two.err.find("at b ("), std::string::npos) << two.err;

    attach("b", {{"identity", {{"revision", "1.21"}}}});
    const RunResult one = run({simulate(), "update"}, "yes\n");
    EXPECT_EQ(one.exitStatus, 0) << one.err;
    EXPECT_NE(one.err.find("at a ("), std::string::npos) << "the question names the drive: " << one.err;
    EXPECT_EQ(load("a").revision, "1.21");
}

// A second update of a drive being updated is refused at once, never queued behind the first.
TEST_F(KduChoiceTest, ASecondUpdateOfTheSameDriveIsRefusedAtOnce) {
    attach("a", {{"timing", {{"installMs", 3000}}}});
    const auto out = root_ / "first.out";
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        const int status = std::system((kduLine({simulate(), "update", "--drive", "a", "--yes"}) + " >" +
                                        out.string() + " 2>&1 </dev/null").c_str());
        ::_exit(exitStatusOf(status));
    }
    // Wait until the first one is installing: the drive file says so.
    for (int i = 0; i < 500 && !load("a").install; ++i) ::usleep(10'000);
    ASSERT_TRUE(load("a").install.has_value()) << slurp(out);
    const RunResult second = run({simulate(), "update", "--drive", "a", "--yes"});
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("the drive is being updated by another process"), std::string::npos) << second.err;
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << slurp(out);
    EXPECT_EQ(load("a").revision, "1.21");
}

}  // namespace
