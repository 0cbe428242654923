// kdu's JSON, as the real program writes it, against the schemas in docs/schema, for
// drives of every kind; and the plain-text side of the same contract: quiet by default,
// the log lines in the log file, escaped drive texts.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include "KduFixture.h"

using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

struct DriveKind {
    const char* name;
    const char* patch;  // merged into the default eligible drive file
    bool mayUpdate;
};

const DriveKind kDriveKinds[] = {
    {"eligible", "{}", true},
    {"up_to_date", R"({"identity": {"revision": "1.21"}})", false},
    {"other_hardware", R"({"readBuffer": {"hard_version": "MT99HW01"}})", false},
    {"kernel_mode", R"({"mode": "kernel"})", true},
    {"disc", R"({"disc": {"volume": "BACKUP"}})", true},
    {"revision_unknown", R"({"identity": {"revision": "    "}})", false},
    {"hardware_version_unknown", R"({"readBuffer": {"hard_version": ""}})", false},
    {"destination_unknown", R"({"readBuffer": {"dest_version": ""}})", false},
    // Goes away at the start of its install and comes back: the update follows it.
    {"away", R"({"faults": {"vanishWhileInstallingMs": 200}})", true},
    // An install that began "later" goes on for the whole test.
    {"installing", R"({"install": {"startedAtMs": 900000000000000, "durationMs": 60000, "resultRevision": "1.21"}})",
     false},
};

class KduJsonTest : public SimFolderTest {
protected:
    // Validates `text` against docs/schema/<schema>.schema.json; the validator's complaints otherwise.
    std::string violations(const std::string& schema, const std::string& text, bool lines = false) {
        const fs::path data = root_ / "data.json", errors = root_ / "violations";
        std::ofstream(data) << text;
        const std::string line = "'" KDU_VALIDATOR "' '" KDU_SCHEMA_DIR "/" + schema + ".schema.json' '" +
                                 data.string() + "'" + (lines ? " --lines" : "") + " 2>'" + errors.string() + "'";
        const int status = std::system(line.c_str());
        return exitStatusOf(status) == 0 ? std::string() : "invalid:\n" + slurp(errors) + "in:\n" + text;
    }
    static std::vector<json> jsonLines(const std::string& text) {
        std::vector<json> objects;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            objects.push_back(json::parse(line, nullptr, false));
            EXPECT_TRUE(objects.back().is_object()) << "not one JSON object: " << line;
        }
        return objects;
    }
};

class DriveKindTest : public KduJsonTest, public ::testing::WithParamInterface<DriveKind> {};

TEST_P(DriveKindTest, ListAndUpdateFollowTheirSchemas) {
    json patch = json::parse(GetParam().patch);
    patch["timing"] = {{"installMs", 100}};
    attach("d", patch);
    const RunResult list = run({simulate(), "list", "--json"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(violations("list", list.out), "");
    const json drive = json::parse(list.out)["drives"].at(0);
    EXPECT_EQ(drive["may_update"], GetParam().mayUpdate);
    if (!GetParam().mayUpdate) {
        EXPECT_EQ(drive["reason"], GetParam().name);
    }

    for (const char* dryRun : {"--dry-run", "--yes"}) {
        const RunResult update = run({simulate(), "update", "--drive", "d", "--json", dryRun});
        EXPECT_EQ(update.exitStatus, GetParam().mayUpdate ? 0 : 3) << update.err;
        EXPECT_EQ(violations("update-event", update.out, true), "");
        const std::vector<json> events = jsonLines(update.out);
        ASSERT_FALSE(events.empty());
        const json& result = events.back();
        EXPECT_EQ(result["event"], "result");
        EXPECT_EQ(result["drive"], "d");
        EXPECT_EQ(result["exit_status"], update.exitStatus);
        if (!GetParam().mayUpdate) {
            EXPECT_EQ(result["outcome"], "not_eligible");
            EXPECT_EQ(result["reason"], GetParam().name);
        } else if (std::string(dryRun) == "--dry-run") {
            EXPECT_EQ(result["outcome"], "dry_run");
        } else {
            EXPECT_EQ(result["outcome"], "updated");
            EXPECT_EQ(result["drive_state"], "updated");
            EXPECT_EQ(result["revision_found"], "1.21");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DriveKindTest, ::testing::ValuesIn(kDriveKinds),
                         [](const auto& row) { return std::string(row.param.name); });

// A drive in use by another program: listed, counted, with nothing claimed of its state.
TEST_F(KduJsonTest, ADriveInUseIsListedWithItsReasonInTheSchema) {
    attach("d", {{"faults", {{"exclusiveAccess", true}}}});
    attach("e");
    const RunResult list = run({simulate(), "list", "--json"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(violations("list", list.out), "");
    const json listed = json::parse(list.out);
    const json& drive = listed["drives"].at(0);
    EXPECT_EQ(drive["id"], "d");
    EXPECT_EQ(drive["examined"], false);
    EXPECT_EQ(drive["may_update"], false);
    EXPECT_EQ(drive["reason"], "in_use");
    EXPECT_EQ(drive["reason_text"], "in use by another program");
    EXPECT_EQ(drive["product"], "BD-RW KVL-MT38");
    EXPECT_EQ(drive["revision"], nullptr);
    EXPECT_EQ(drive["mode"], nullptr);
    EXPECT_EQ(drive["disc"], nullptr);
    EXPECT_EQ(listed["drives"].at(1)["examined"], true);
    EXPECT_EQ(listed["summary"], (json{{"drives", 2}, {"may_update", 1}, {"may_not_update", 0}, {"not_examined", 1}}));

    const RunResult update = run({simulate(), "update", "--drive", "d", "--yes", "--json"});
    EXPECT_EQ(update.exitStatus, 1);
    EXPECT_NE(update.err.find("drive d is in use by another program"), std::string::npos) << update.err;
    EXPECT_EQ(violations("update-event", update.out, true), "");
}

TEST_F(KduJsonTest, ImagesFollowTheirSchema) {
    const RunResult r = run({"images", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(violations("images", r.out), "");
}

TEST_F(KduJsonTest, WatchEventsFollowTheirSchema) {
    attach("d");
    const std::string watch = kduLine({simulate(), "watch", "--json"});
    const std::string insert = kduLine({simulate(), "sim", "insert", "d", "--volume", "PHOTOS"});
    const std::string attachOther = kduLine({simulate(), "sim", "attach", "e", "--kernel"});
    const fs::path out = root_ / "watch.out";
    const std::string script = watch + " >'" + out.string() + "' 2>/dev/null & pid=$!; sleep 1; " + insert +
                               "; sleep 1; " + attachOther + "; sleep 1; kill -INT $pid; wait $pid";
    std::ofstream(root_ / "watch.sh") << script << "\n";
    ASSERT_EQ(exitStatusOf(std::system(("bash '" + (root_ / "watch.sh").string() + "'").c_str())), 0);
    const std::string text = slurp(out);
    EXPECT_EQ(violations("watch-event", text, true), "");
    std::set<std::string> events;
    for (const json& line : jsonLines(text)) events.insert(line.value("event", ""));
    EXPECT_TRUE(events.contains("relisted") && events.contains("disc_appeared") && events.contains("drive_arrived"))
        << text;
}

struct Tampering {
    const char* name;
    const char* shell;  // run in the copied resource folder
    const char* file;   // the file kdu must name
    const char* problem;
};

// Sums remade as a person would, so only what the program carries can tell.
#define KDU_REMANIFEST " && sha256sum R7360500.121 R7360501.121 > images.sha256"
const Tampering kTamperings[] = {
    {"swapped", "mv R7360500.121 t && mv R7360501.121 R7360500.121 && mv t R7360501.121" KDU_REMANIFEST,
     "R7360500.121", "wrong_role"},
    {"replaced", "printf Z | dd of=R7360501.121 bs=1 seek=5000 conv=notrunc 2>/dev/null" KDU_REMANIFEST,
     "R7360501.121", "damaged"},
    {"truncated", "truncate -s 100 R7360501.121", "R7360501.121", "truncated"},
};
#undef KDU_REMANIFEST

class TamperedImagesTest : public KduJsonTest, public ::testing::WithParamInterface<Tampering> {
protected:
    // kdu finds its images beside its own executable: a copy of both, the images tampered with.
    void SetUp() override {
        KduJsonTest::SetUp();
        const fs::path bin = root_ / "install" / "bin", share = root_ / "install" / "share" / "kestory-drive-updater";
        fs::create_directories(bin);
        fs::create_directories(share.parent_path());
        fs::copy(KDU_EXECUTABLE, kdu_ = bin / "kdu");
        fs::copy(fs::path(KDU_EXECUTABLE).parent_path().parent_path() / "share" / "kestory-drive-updater", share,
                 fs::copy_options::recursive);
        ASSERT_EQ(exitStatusOf(std::system(("cd '" + share.string() + "' && " + GetParam().shell).c_str())), 0);
    }
    RunResult runCopy(const std::vector<std::string>& args, const std::string& environment = "") {
        const fs::path out = root_ / "out", err = root_ / "err";
        std::string line = environment + " '" + kdu_.string() + "'";
        for (const std::string& a : args) line += " '" + a + "'";
        const int status = std::system((line + " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'").c_str());
        return {exitStatusOf(status), slurp(out), slurp(err)};
    }
    fs::path kdu_;
};

// Named wherever it shows; every drive "may not be updated" for that reason alone, and the
// update is refused before a single command reaches any drive.
TEST_P(TamperedImagesTest, NamedEverywhereAndRefusedBeforeAnyCommand) {
    const Tampering& row = GetParam();
    const std::string named = std::string(row.file) + ": ";
    attach("d");

    const RunResult listJson = runCopy({simulate(), "list", "--json"});
    ASSERT_EQ(listJson.exitStatus, 0) << listJson.err;
    EXPECT_EQ(violations("list", listJson.out), "");
    const json list = json::parse(listJson.out);
    EXPECT_EQ(list["image_problem"]["file"], row.file);
    EXPECT_EQ(list["image_problem"]["problem"], row.problem);
    EXPECT_EQ(list["drives"][0]["reason"], "image_damaged");

    const RunResult listText = runCopy({simulate(), "list"});
    EXPECT_THAT(listText.out, StartsWith("Shipped firmware: unusable, no drive can be updated: " + named));

    const RunResult imagesText = runCopy({"images"});
    EXPECT_EQ(imagesText.exitStatus, 1);
    EXPECT_THAT(imagesText.out, HasSubstr("The shipped images are unusable: " + named));
    const RunResult imagesJson = runCopy({"images", "--json"});
    EXPECT_EQ(violations("images", imagesJson.out), "");
    EXPECT_EQ(json::parse(imagesJson.out)["image_problem"]["problem"], row.problem);

    const fs::path trace = root_ / "trace";
    const RunResult update =
        runCopy({simulate(), "update", "--drive", "d", "--yes", "--json"}, "KDU_SIMDRIVE_TRACE='" + trace.string() + "'");
    EXPECT_EQ(update.exitStatus, 1);
    EXPECT_EQ(violations("update-event", update.out, true), "");
    EXPECT_THAT(update.err, HasSubstr("no drive can be updated: " + named));
    EXPECT_EQ(slurp(trace), "") << "commands reached the drive";
    EXPECT_EQ(load("d").revision, "1.20");
}

INSTANTIATE_TEST_SUITE_P(Tamperings, TamperedImagesTest, ::testing::ValuesIn(kTamperings),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(KduJsonTest, DefaultUpdateIsShortAndQuietAndTheLogGoesToItsFile) {
    const json fast = {{"timing", {{"installMs", 100}}}};
    attach("d", fast);
    const RunResult quiet = run({simulate(), "update", "--drive", "d", "--yes"});
    EXPECT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_LT(std::count(quiet.out.begin(), quiet.out.end(), '\n'), 15) << quiet.out;
    const fs::path log = root_ / "state" / "kestory-drive-updater" / "kdu.log";
    EXPECT_NE(slurp(log).find("write completed.\n"), std::string::npos);
    EXPECT_NE(slurp(log).find("Requesting Inquiry data"), std::string::npos);

    attach("e", fast);
    const RunResult verbose = run({simulate(), "-v", "update", "--drive", "e", "--yes"});
    EXPECT_EQ(verbose.exitStatus, 0);
    EXPECT_NE(verbose.err.find("write..(1) 0x"), std::string::npos) << "-v shows the console lines";
    EXPECT_NE(verbose.err.find("taskStatus["), std::string::npos);
    EXPECT_EQ(verbose.out.find("write.."), std::string::npos);

    attach("f", fast);
    const RunResult silent = run({simulate(), "-q", "update", "--drive", "f", "--yes"});
    EXPECT_EQ(silent.exitStatus, 0);
    EXPECT_EQ(silent.out + silent.err, "");
}

TEST_F(KduJsonTest, DryRunShowsThePlanAndSendsNothing) {
    attach("d");
    const RunResult r = run({simulate(), "update", "--drive", "d", "--dry-run"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("1. CHANGE DRIVE MODE"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("WRITE BUFFER, 4608 bytes at offset 65536"), std::string::npos) << r.out;
    EXPECT_EQ(load("d").mode, sim::DriveMode::Normal);
    EXPECT_EQ(load("d").revision, "1.20");
    EXPECT_FALSE(load("d").install.has_value());
}

TEST_F(KduJsonTest, DriveTextsReachTheTerminalEscaped) {
    attach("d", {{"identity", {{"vendor", "KES\x1b[2J"}}}, {"disc", {{"volume", "A\x1b]0;x\x07"}}}});
    const RunResult r = run({simulate(), "list"});
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
}

// The folder is untrusted: entries that cannot be a drive are named with the reason, never
// opened when they are not regular files, never quoted, and never hide the other drives.
TEST_F(KduJsonTest, BadDriveFilesLeaveOutOnlyThemselves) {
    attach("good");
    ASSERT_EQ(::mkfifo((folder_ / "fifo.json").c_str(), 0600), 0);
    fs::create_symlink("/etc/hostname", folder_ / "outside.json");
    fs::create_symlink("good.json", folder_ / "alias.json");
    attach("pair");
    fs::create_hard_link(folder_ / "pair.json", folder_ / "pair-too.json");
    std::ofstream(folder_ / "big.json") << std::string(2u << 20, ' ');
    std::ofstream(folder_ / "bad.json") << R"({"identity": SECRETBYTES})";
    std::ofstream(folder_ / "overflow.json") << R"({"install": {"startedAtMs": 9223372036854775807, "durationMs": 1}})";
    const RunResult r = run({simulate(), "list", "--json"});  // a FIFO opened would hang here
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const json drives = json::parse(r.out)["drives"];
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0]["id"], "good");
    for (const char* line : {"kdu: fifo.json: not a regular file; left out\n",
                             "kdu: outside.json: a link leading out of the folder; left out\n",
                             "kdu: alias.json: a link to another file (a drive is a file of its own); left out\n",
                             "kdu: pair.json: a file with more than one name (a drive is a file of its own); left out\n",
                             "kdu: pair-too.json: a file with more than one name (a drive is a file of its own); left out\n",
                             "kdu: big.json: cannot be read (larger than 1 MiB); left out\n",
                             "kdu: bad.json: malformed JSON near byte 14; left out\n",
                             "kdu: overflow.json: install.startedAtMs: expected an integer within +/-10^15; left out\n"})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << " in:\n" << r.err;
    EXPECT_EQ(r.err.find("SECRET"), std::string::npos);
}

}  // namespace
