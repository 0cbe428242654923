// What kdu writes when its output cannot be written, and what it shows of text that came
// from drives: nothing a terminal would act on.
#include "KduFixture.h"

using nlohmann::json;

namespace {

class KduOutputTest : public SimFolderTest {
protected:
    std::string logFile() const { return slurp(root_ / "state" / "kestory-drive-updater" / "kdu.log"); }
};

struct OutputFailureCase {
    const char* name;
    std::vector<std::string> args;  // after --simulate
    const char* stdoutTo;
    const char* reason;
};

class OutputFailureTest : public KduOutputTest, public ::testing::WithParamInterface<OutputFailureCase> {};

// One line on stderr and exit 1; an update still runs to its end, and nothing meant for
// stdout lands in the log file (a closed stdout once lent its number to it).
TEST_P(OutputFailureTest, IsReportedOnceAndFailsTheCommand) {
    const OutputFailureCase& c = GetParam();
    attach("a");
    std::vector<std::string> args{simulate()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = run(args, "", c.stdoutTo);
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    const std::string line = std::string("kdu: cannot write the output: ") + c.reason + "\n";
    EXPECT_TRUE(r.err.ends_with(line)) << r.err;
    EXPECT_EQ(r.err.find(line), r.err.size() - line.size()) << "said once: " << r.err;
    const bool update = c.args.front() == "update";
    EXPECT_EQ(load("a").revision, update ? "1.21" : "1.20");
    EXPECT_EQ(load("a").mode, sim::DriveMode::Normal);
    for (const char* text : {"Complete!", "Shipped firmware", "\"schema\"", "relisted", "Kernel image"})
        EXPECT_EQ(logFile().find(text), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, OutputFailureTest,
    ::testing::Values(
        OutputFailureCase{"ListFull", {"list"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"ListJsonFull", {"list", "--json"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"ImagesFull", {"images"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"ImagesJsonFull", {"images", "--json"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"WatchJsonFull", {"watch", "--json"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"WatchFull", {"watch"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"UpdateFull", {"update", "--drive", "a", "--yes"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"UpdateJsonFull", {"update", "--drive", "a", "--yes", "--json"}, ">/dev/full",
                          "No space left on device"},
        OutputFailureCase{"HelpFull", {"--help"}, ">/dev/full", "No space left on device"},
        OutputFailureCase{"ListClosed", {"list"}, ">&-", "Bad file descriptor"},
        OutputFailureCase{"UpdateClosed", {"update", "--drive", "a", "--yes"}, ">&-", "Bad file descriptor"}),
    [](const auto& row) { return std::string(row.param.name); });

struct DriveTextCase {
    const char* name;
    const char* pointer;  // the field in the drive file
    const char* value;    // as long as the field may be
    bool shown;           // the field appears in `list` or the update's texts
};

class DriveTextTest : public KduOutputTest, public ::testing::WithParamInterface<DriveTextCase> {};

// A byte a terminal may act on (the texts here are ASCII but for what a drive sent).
bool hasRawControl(const std::string& text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\n') || b >= 0x7f) return true;
    }
    return false;
}

TEST_P(DriveTextTest, ReachesTheTerminalAndTheLogEscaped) {
    const DriveTextCase& c = GetParam();
    json patch = json::object();
    patch[json::json_pointer(c.pointer)] = c.value;
    attach("a", patch);
    std::string shown;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-v", "list"},
                                                 {"-v", "update", "--drive", "a", "--yes"}}) {
        std::vector<std::string> line{simulate()};
        line.insert(line.end(), args.begin(), args.end());
        const RunResult r = run(line);
        EXPECT_FALSE(hasRawControl(r.out)) << args[1] << ": " << r.out;
        EXPECT_FALSE(hasRawControl(r.err)) << args[1] << ": " << r.err;
        shown += r.out + r.err;
    }
    EXPECT_FALSE(hasRawControl(logFile()));
    if (c.shown) {
        EXPECT_NE(shown.find("\\x"), std::string::npos) << shown;
    }
    // JSON carries the text as it is, encoded.
    const json drives = json::parse(run({simulate(), "list", "--json"}).out)["drives"];
    if (!drives.empty()) {
        EXPECT_EQ(drives[0]["raw"].dump().find('\x1b'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DriveTextTest,
    ::testing::Values(DriveTextCase{"Vendor", "/identity/vendor", "KES\x1b[1m", false},
                      DriveTextCase{"Product", "/identity/product", "BD-RW\x1b]0;x\x07KVL", false},
                      DriveTextCase{"Revision", "/identity/revision", "1\x1b[m", true},
                      DriveTextCase{"Date", "/identity/date", "2024\r\n12", true},
                      DriveTextCase{"HardVersion", "/readBuffer/hard_version", "MT\xc2\x9b" "31mW", true},
                      DriveTextCase{"KernelVersion", "/readBuffer/krnl_version", "KRN\x1b[31m", true},
                      DriveTextCase{"DestVersion", "/readBuffer/dest_version", "DEST\x7f\x08\x08", true},
                      DriveTextCase{"JudgeKernel", "/readBuffer/judgeKrnl", "K\x1b[m", false},
                      DriveTextCase{"ClassName", "/className", "Sim\x1b]2;owned\x07", true},
                      DriveTextCase{"Volume", "/disc/volume", "\x1b[2J", false},
                      DriveTextCase{"InstallRevision", "/faults/installRevision", "1\x1b[m", true}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
