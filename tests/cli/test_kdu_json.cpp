// kdu's JSON, as the real program writes it, against the schemas in docs/schema, for
// drives of every kind; and the plain-text side of the same contract: quiet by default,
// the log lines in the log file, escaped drive texts.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include "KduFixture.h"

using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::EndsWith;
using ::testing::Not;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

class KduJsonTest : public SimFolderTest {};

// How an update shows: its plain text, with -v or -q, as JSON events, or as a dry run.
enum class Output { Json, JsonDryRun, Text, Verbose, Quiet, TextDryRun };

struct DriveKind {
    const char* name;   // for a drive that may not be updated, the reason JSON names
    const char* patch;  // merged into the default eligible drive file
    bool mayUpdate;
    std::vector<Output> outputs = {Output::Json};
};

const DriveKind kDriveKinds[] = {
    {"eligible", "{}", true,
     {Output::Json, Output::JsonDryRun, Output::Text, Output::Verbose, Output::Quiet, Output::TextDryRun}},
    {"up_to_date", R"({"identity": {"revision": "1.21"}})", false, {Output::Json, Output::JsonDryRun}},
    {"other_hardware", R"({"readBuffer": {"hard_version": "MT99HW01"}})", false},
    {"kernel_mode", R"({"mode": "kernel"})", true},
    {"disc", R"({"disc": {"volume": "BACKUP"}})", true},
    {"revision_unknown", R"({"identity": {"revision": "    "}})", false},
    {"hardware_version_unknown", R"({"readBuffer": {"hard_version": ""}})", false},
    {"destination_unknown", R"({"readBuffer": {"dest_version": ""}})", false},
    // Goes away at the start of its install and comes back: the update follows it.
    {"away", R"({"faults": {"vanishWhileInstallingMs": 200}})", true, {Output::Json, Output::Text}},
    // An install that began "later" goes on for the whole test.
    {"installing", R"({"install": {"startedAtMs": 900000000000000, "durationMs": 60000, "resultRevision": "1.21"}})",
     false},
};

class DriveKindTest : public KduJsonTest, public ::testing::WithParamInterface<DriveKind> {};

// Each output is a real run on a fresh copy of the drive: JSON follows its schemas, the text
// is short with the log lines in the log file, and a dry run sends nothing.
TEST_P(DriveKindTest, ListAndUpdateInEachOutput) {
    const DriveKind& kind = GetParam();
    json patch = json::parse(kind.patch);
    const std::string revisionBefore = patch.value(json::json_pointer("/identity/revision"), "1.20");
    patch["timing"] = {{"installMs", 100}};
    const fs::path logFile = root_ / "state" / "kestory-drive-updater" / "kdu.log";
    for (const Output output : kind.outputs) {
        SCOPED_TRACE(static_cast<int>(output));
        attach("d", patch);
        fs::remove(logFile);
        const sim::DriveMode modeBefore = load("d").mode;
        const bool asJson = output == Output::Json || output == Output::JsonDryRun;
        const bool dryRun = output == Output::JsonDryRun || output == Output::TextDryRun;
        if (asJson) {
            const RunResult list = run({simulate(), "list", "--json"});
            ASSERT_EQ(list.exitStatus, 0) << list.err;
            EXPECT_EQ(violations("list", list.out), "");
            const json drive = json::parse(list.out)["drives"].at(0);
            EXPECT_EQ(drive["may_update"], kind.mayUpdate);
            if (!kind.mayUpdate) {
                EXPECT_EQ(drive["reason"], kind.name);
            }
        }
        std::vector<std::string> args{simulate()};
        if (output == Output::Verbose) args.push_back("-v");
        if (output == Output::Quiet) args.push_back("-q");
        args.insert(args.end(), {"update", "--drive", "d", dryRun ? "--dry-run" : "--yes"});
        if (asJson) args.push_back("--json");
        const RunResult r = run(args);
        EXPECT_EQ(r.exitStatus, kind.mayUpdate ? 0 : 3) << r.err;
        const bool updated = kind.mayUpdate && !dryRun;
        EXPECT_EQ(load("d").revision, updated ? "1.21" : revisionBefore);
        EXPECT_EQ(load("d").mode, updated ? sim::DriveMode::Normal : modeBefore);
        EXPECT_EQ(load("d").install.has_value(), kind.name == std::string("installing"));

        if (asJson) {
            EXPECT_EQ(violations("update-event", r.out, true), "");
            const std::vector<json> events = jsonLines(r.out);
            ASSERT_FALSE(events.empty());
            const json& result = events.back();
            EXPECT_EQ(result["event"], "result");
            EXPECT_EQ(result["drive"], "d");
            EXPECT_EQ(result["exit_status"], r.exitStatus);
            EXPECT_EQ(result["outcome"], !kind.mayUpdate ? "not_eligible" : dryRun ? "dry_run" : "updated");
            EXPECT_EQ(result.value("reason", ""), kind.mayUpdate ? "" : kind.name);
            if (updated) {
                EXPECT_EQ(result["drive_state"], "updated");
                EXPECT_EQ(result["revision_found"], "1.21");
            }
        } else if (output == Output::Text) {
            EXPECT_THAT(r.out, HasSubstr("(d) to firmware 1.21")) << "the drive is named by its identity";
            EXPECT_THAT(r.out, HasSubstr("Writing firmware 1536 KiB\n"));
            EXPECT_THAT(r.out, HasSubstr("Installing 100 %\n"));
            EXPECT_THAT(r.out, EndsWith("Complete!\n"));
            EXPECT_LT(std::count(r.out.begin(), r.out.end(), '\n'), 15) << r.out;
            EXPECT_EQ(r.err, "") << "log lines go to the log file, not to the terminal";
            EXPECT_THAT(slurp(logFile), HasSubstr("write completed.\n"));
            EXPECT_THAT(slurp(logFile), HasSubstr("Requesting Inquiry data"));
        } else if (output == Output::Verbose) {
            EXPECT_THAT(r.err, HasSubstr("write..(1) 0x")) << "-v shows the console lines";
            EXPECT_THAT(r.err, HasSubstr("taskStatus["));
            EXPECT_THAT(r.out, Not(HasSubstr("write..")));
        } else if (output == Output::Quiet) {
            EXPECT_EQ(r.out + r.err, "");
        } else {
            EXPECT_THAT(r.out, HasSubstr("1. CHANGE DRIVE MODE"));
            EXPECT_THAT(r.out, HasSubstr("WRITE BUFFER, 4608 bytes at offset 65536"));
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

TEST_F(KduJsonTest, ImagesFollowTheirSchemaWithBothHeaders) {
    const RunResult r = run({"images", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(violations("images", r.out), "");
    for (const char* role : {"kernel", "normal"}) {
        const json image = json::parse(r.out).at(role);
        EXPECT_EQ(image["present"], true) << role;
        EXPECT_EQ(image["revision"], "1.21") << role;
        EXPECT_EQ(image["hard_version"], sim::kDefaultHardVersion) << role;
        EXPECT_EQ(image["dest_version"], sim::kDefaultDestVersion) << role;
    }
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
        fs::copy(KDU_EXECUTABLE, kdu_ = (bin / "kdu").string());
        fs::copy(fs::path(KDU_EXECUTABLE).parent_path().parent_path() / "share" / "kestory-drive-updater", share,
                 fs::copy_options::recursive);
        ASSERT_EQ(exitStatusOf(std::system(("cd '" + share.string() + "' && " + GetParam().shell).c_str())), 0);
    }
};

// Named wherever it shows; every drive "may not be updated" for that reason alone, and the
// update is refused before a single command reaches any drive.
TEST_P(TamperedImagesTest, NamedEverywhereAndRefusedBeforeAnyCommand) {
    const Tampering& row = GetParam();
    const std::string named = std::string(row.file) + ": ";
    attach("d");

    const RunResult listJson = run({simulate(), "list", "--json"});
    ASSERT_EQ(listJson.exitStatus, 0) << listJson.err;
    EXPECT_EQ(violations("list", listJson.out), "");
    const json list = json::parse(listJson.out);
    EXPECT_EQ(list["image_problem"]["file"], row.file);
    EXPECT_EQ(list["image_problem"]["problem"], row.problem);
    EXPECT_EQ(list["drives"][0]["reason"], "image_damaged");

    const RunResult listText = run({simulate(), "list"});
    EXPECT_THAT(listText.out, StartsWith("Shipped firmware: unusable, no drive can be updated: " + named));

    const RunResult imagesText = run({"images"});
    EXPECT_EQ(imagesText.exitStatus, 1);
    EXPECT_THAT(imagesText.out, HasSubstr("The shipped images are unusable: " + named));
    const RunResult imagesJson = run({"images", "--json"});
    EXPECT_EQ(violations("images", imagesJson.out), "");
    EXPECT_EQ(json::parse(imagesJson.out)["image_problem"]["problem"], row.problem);

    const fs::path trace = root_ / "trace";
    ::setenv("KDU_SIMDRIVE_TRACE", trace.c_str(), 1);
    const RunResult update = run({simulate(), "update", "--drive", "d", "--yes", "--json"});
    ::unsetenv("KDU_SIMDRIVE_TRACE");
    EXPECT_EQ(update.exitStatus, 1);
    EXPECT_EQ(violations("update-event", update.out, true), "");
    EXPECT_THAT(update.err, HasSubstr("no drive can be updated: " + named));
    EXPECT_EQ(slurp(trace), "") << "commands reached the drive";
    EXPECT_EQ(load("d").revision, "1.20");
}

INSTANTIATE_TEST_SUITE_P(Tamperings, TamperedImagesTest, ::testing::ValuesIn(kTamperings),
                         [](const auto& row) { return std::string(row.param.name); });

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
