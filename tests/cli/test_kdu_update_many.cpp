// kdu update of several drives at once (--all, --drive more than once), the real binary
// against simulated drives: one drive failing beside the others, signals while several are
// critical, two such runs at once, and a run with nothing left to do.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <regex>

#include <gmock/gmock.h>

#include "KduFixture.h"

using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// The commands a drive receives that identify it and nothing more.
bool identifies(const std::string& cdb) { return cdb.starts_with("12") || cdb.starts_with("00") || cdb.starts_with("3c"); }

class KduUpdateManyTest : public SimFolderTest {
protected:
    // A drive that is quick to update but slow enough to be caught in its critical section.
    void attachSlow(const std::string& name, int installMs = 200) {
        attach(name, {{"timing", {{"commandLatencyMs", 30}, {"installMs", installMs}}}});
    }
    // What a drive updated alone receives, without the install polls.
    std::vector<std::string> commandsAlone() {
        attachSlow("alone");
        EXPECT_EQ(runTraced({simulate(), "update", "--drive", "alone", "--yes"}, "alone").exitStatus, 0);
        std::filesystem::remove(sim::driveFilePath(folder_, "alone"));
        return commands("alone")["alone"];
    }
    // kdu in the background, its output in root_/NAME.out and .err, its trace in root_/NAME.trace.
    pid_t start(const std::vector<std::string>& args, const std::string& name) {
        const std::string line = "exec " + kduLine(args) + " >" + path(name, ".out") + " 2>" + path(name, ".err") + " </dev/null";
        const std::string trace = path(name, ".trace");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("KDU_SIMDRIVE_TRACE", trace.c_str(), 1);
            ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }
    RunResult finish(pid_t pid, const std::string& name) {
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        return {exitStatusOf(status), slurp(path(name, ".out")), slurp(path(name, ".err"))};
    }
    RunResult runTraced(const std::vector<std::string>& args, const std::string& name) { return finish(start(args, name), name); }
    std::string path(const std::string& name, const char* suffix) const { return (root_ / (name + suffix)).string(); }

    void waitUntilCritical(const std::vector<std::string>& drives) {
        for (const std::string& drive : drives)
            while (load(drive).mode != sim::DriveMode::Kernel) ::usleep(5'000);
    }
    // Each drive's commands in order, without the install polls (their number depends on time).
    std::map<std::string, std::vector<std::string>> commands(const std::string& name) {
        std::map<std::string, std::vector<std::string>> byDrive;
        std::istringstream in(slurp(path(name, ".trace")));
        for (std::string drive, rest; in >> drive && std::getline(in >> std::ws, rest);)
            if (!rest.starts_with("000000000000")) byDrive[drive].push_back(rest);
        return byDrive;
    }
    static std::vector<json> events(const std::string& out) {
        std::vector<json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
        return lines;
    }
    // The output against docs/schema/update-event.schema.json: empty when it holds.
    std::string schemaViolations(const std::string& out) {
        std::ofstream(root_ / "events.json") << out;
        const std::string line = "'" KDU_VALIDATOR "' '" KDU_SCHEMA_DIR "/update-event.schema.json' '" +
                                 (root_ / "events.json").string() + "' --lines 2>&1";
        return std::system(line.c_str()) == 0 ? "" : out;
    }
    // The summary's entry per drive.
    static std::map<std::string, json> summary(const std::vector<json>& lines) {
        std::map<std::string, json> entries;
        EXPECT_EQ(lines.back()["event"], "summary");
        for (const json& entry : lines.back()["drives"]) entries[entry["drive"]] = entry;
        return entries;
    }
};

class RefusedPieceTest : public KduUpdateManyTest, public ::testing::WithParamInterface<bool> {};

// The drive that refuses a piece ends in its update mode with its own report; the others
// are updated all the same, and the run says it failed.
TEST_P(RefusedPieceTest, FailsOneDriveAndNoOther) {
    const bool asJson = GetParam();
    attach("a", {{"timing", {{"installMs", 100}}}});
    attach("b", {{"faults", {{"writeBufferPiece", 3}}}});
    attach("c", {{"timing", {{"installMs", 100}}}});
    std::vector<std::string> args = {simulate(), "update", "--all", "--yes"};
    if (asJson) args.push_back("--json");
    const RunResult r = run(args);
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    for (const char* updated : {"a", "c"}) {
        EXPECT_EQ(load(updated).revision, "1.21") << updated;
        EXPECT_EQ(load(updated).mode, sim::DriveMode::Normal) << updated;
    }
    EXPECT_EQ(load("b").mode, sim::DriveMode::Kernel);
    EXPECT_THAT(r.err, HasSubstr("kdu: drive b: writing the kernel image: the drive refused piece 3 of 3; the install "
                                 "was not started; the drive is in its update mode"));
    EXPECT_THAT(r.err, Not(HasSubstr("drive a")));
    if (!asJson) {
        for (const char* line : {"\na: Complete!\n", "\nb: Error!\n", "\nc: Complete!\n"}) EXPECT_THAT(r.out, HasSubstr(line));
        EXPECT_TRUE(std::regex_search(r.out, std::regex("\nb +1\\.20 +- +failed +update mode\n"))) << r.out;
        EXPECT_TRUE(std::regex_search(r.out, std::regex("\na +1\\.20 +1\\.21 +updated +updated\n"))) << r.out;
        return;
    }
    EXPECT_EQ(schemaViolations(r.out), "");
    const std::vector<json> lines = events(r.out);
    std::map<std::string, std::string> outcomes;
    for (const json& line : lines) {
        if (line["event"] == "summary") continue;
        ASSERT_TRUE(line["drive"].is_string()) << line;
        if (line["event"] == "result") outcomes[line["drive"]] = line["outcome"];
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{{"a", "updated"}, {"b", "failed"}, {"c", "updated"}}));
    const auto entries = summary(lines);
    EXPECT_EQ(lines.back()["exit_status"], 1);
    EXPECT_EQ(entries.at("b")["drive_state"], "update_mode");
    EXPECT_EQ(entries.at("b")["revision_after"], nullptr);
    for (const char* drive : {"a", "b", "c"}) EXPECT_EQ(entries.at(drive)["changed"], true) << drive;
    EXPECT_EQ(entries.at("c")["revision_before"], "1.20");
    EXPECT_EQ(entries.at("c")["revision_after"], "1.21");
}

INSTANTIATE_TEST_SUITE_P(Outputs, RefusedPieceTest, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "Json" : "Text"; });

// Signals while every drive is in its critical section are answered and held; every drive
// still receives exactly the commands a drive updated alone receives.
TEST_F(KduUpdateManyTest, SignalsWhileSeveralAreCriticalAreHeldAndNoCommandGoesTwice) {
    const std::vector<std::string> reference = commandsAlone();

    for (const char* drive : {"a", "b", "c"}) attachSlow(drive);
    const pid_t pid = start({simulate(), "update", "--drive", "a", "--drive", "b", "--drive", "c", "--yes"}, "many");
    waitUntilCritical({"a", "b", "c"});
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) ASSERT_EQ(::kill(pid, signo), 0);
    const RunResult r = finish(pid, "many");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("finishing: stopping now would leave the drive unusable\n"));
    const auto received = commands("many");
    for (const char* drive : {"a", "b", "c"}) {
        EXPECT_EQ(load(drive).revision, "1.21") << drive;
        EXPECT_EQ(received.at(drive), reference) << drive;
    }
}

// Two `--all` at once: the second finds every drive taken by the first and says so per
// drive, sending nothing; the first updates each drive once. A third run has nothing to do.
TEST_F(KduUpdateManyTest, TwoRunsAtOnceUpdateEachDriveOnceAndTheNextHasNothingToDo) {
    const std::vector<std::string> reference = commandsAlone();
    // The first run holds each drive through the second's whole listing.
    for (const char* drive : {"a", "b"}) attachSlow(drive, 4000);
    const pid_t first = start({simulate(), "update", "--all", "--yes"}, "first");
    waitUntilCritical({"a", "b"});
    const RunResult second = runTraced({simulate(), "update", "--all", "--yes", "--json"}, "second");
    const RunResult done = finish(first, "first");
    EXPECT_EQ(done.exitStatus, 0) << done.err;
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(schemaViolations(second.out), "");
    for (const auto& [drive, entry] : summary(events(second.out))) {
        EXPECT_EQ(entry["outcome"], "refused") << drive;
        EXPECT_EQ(entry["changed"], false) << drive;
        EXPECT_THAT(second.err, HasSubstr("kdu: drive " + drive + ": "));
    }
    for (const auto& [drive, cdbs] : commands("second"))
        for (const std::string& cdb : cdbs) EXPECT_TRUE(identifies(cdb)) << drive << " " << cdb;
    for (const auto& [drive, cdbs] : commands("first")) EXPECT_EQ(cdbs, reference) << drive;

    const RunResult again = runTraced({simulate(), "update", "--all", "--yes", "--json"}, "again");
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_EQ(schemaViolations(again.out), "");
    const std::vector<json> lines = events(again.out);
    ASSERT_EQ(lines.size(), 1u) << again.out;
    for (const auto& [drive, entry] : summary(lines)) {
        EXPECT_EQ(entry["outcome"], "up_to_date") << drive;
        EXPECT_EQ(entry["changed"], false) << drive;
    }
    for (const auto& [drive, cdbs] : commands("again"))
        for (const std::string& cdb : cdbs) EXPECT_TRUE(identifies(cdb)) << drive << " " << cdb;
    const RunResult text = run({simulate(), "update", "--all"});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_EQ(text.out, "every drive is up to date\n");
}

}  // namespace
