// kdu update against what happens around it: signals, a closed stdout, another update of
// the same drive, and the sleep inhibitor it holds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>

#include "KduFixture.h"
#include "support/FakeLogind.h"

namespace {

class KduUpdateSafetyTest : public SimFolderTest {
protected:
    // Starts `kdu update --drive a --yes` in the background, its output to files of its own:
    // run() reuses "out" and "err" while it goes on.
    pid_t startUpdate() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c",
                    ("exec " + kduLine({simulate(), "update", "--drive", "a", "--yes"}) + " >" + (root_ / "update.out").string() +
                     " 2>" + (root_ / "update.err").string() + " </dev/null")
                        .c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }
    // Waits (without a time limit of its own: ctest has one) until `ready` holds.
    void waitUntil(const std::function<bool()>& ready) {
        while (!ready()) ::usleep(5'000);
    }
    int finish(pid_t pid) {
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        return exitStatusOf(status);
    }
};

class HeldSignalTest : public KduUpdateSafetyTest, public ::testing::WithParamInterface<int> {};

// A signal in the middle of the transfer neither stops the update nor makes any command go
// out twice: a second mode change would flip the drive back and the rest would be refused.
TEST_P(HeldSignalTest, DuringTheTransferIsAnsweredAndTheUpdateCompletes) {
    attach("a", {{"timing", {{"commandLatencyMs", 40}, {"installMs", 200}}}});
    const pid_t pid = startUpdate();
    waitUntil([&] { return load("a").mode == sim::DriveMode::Kernel; });
    ASSERT_EQ(::kill(pid, GetParam()), 0);
    EXPECT_EQ(finish(pid), 0) << slurp(root_ / "update.err");
    const std::string err = slurp(root_ / "update.err");
    EXPECT_NE(err.find("finishing: stopping now would leave the drive unusable"), std::string::npos) << err;
    EXPECT_EQ(load("a").mode, sim::DriveMode::Normal);
    EXPECT_EQ(load("a").revision, "1.21");
    EXPECT_NE(slurp(root_ / "update.out").find("Complete!"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, HeldSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                         [](const auto& row) { return std::string(sigabbrev_np(row.param)); });

TEST_F(KduUpdateSafetyTest, AnInterruptWhileTheDriveInstallsStopsOnlyTheWaiting) {
    attach("a", {{"timing", {{"installMs", 60000}}}});
    const pid_t pid = startUpdate();
    // The progress shows the install once the drive is back in its normal mode.
    waitUntil([&] { return slurp(root_ / "update.out").find("Installing") != std::string::npos; });
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(finish(pid), 1);
    const std::string err = slurp(root_ / "update.err");
    EXPECT_NE(err.find("keep it connected"), std::string::npos) << err;
    EXPECT_EQ(load("a").mode, sim::DriveMode::Normal) << "the drive was switched back before the wait";
}

TEST_F(KduUpdateSafetyTest, AClosedStdoutDoesNotStopTheUpdateAndIsReportedAtTheEnd) {
    attach("a", {{"timing", {{"commandLatencyMs", 5}, {"installMs", 100}}}});
    // head leaves after the first line: every later write to stdout meets a closed pipe.
    const std::string line = "set -o pipefail; " + kduLine({simulate(), "update", "--drive", "a", "--yes"}) +
                             " 2>" + (root_ / "err").string() + " </dev/null | head -n 1 >/dev/null";
    const int status = std::system(("bash -c '" + line + "'").c_str());
    EXPECT_EQ(exitStatusOf(status), 1);
    EXPECT_TRUE(slurp(root_ / "err").ends_with("kdu: cannot write the output: Broken pipe\n")) << slurp(root_ / "err");
    EXPECT_EQ(load("a").mode, sim::DriveMode::Normal);
    EXPECT_EQ(load("a").revision, "1.21");
}

// The record of an update that is killed stays "in progress" while it runs and is
// "interrupted" after.
TEST_F(KduUpdateSafetyTest, AKilledUpdateIsRecordedAsInterrupted) {
    attach("a", {{"timing", {{"installMs", 60000}}}});
    const pid_t pid = startUpdate();
    const auto record = root_ / "state" / "kestory-drive-updater" / "history.jsonl";
    waitUntil([&] { return slurp(record).find(R"("event":"started")") != std::string::npos; });
    std::vector<nlohmann::json> updates = history();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0]["status"], "in progress");
    EXPECT_EQ(updates[0]["pid"], pid);

    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    finish(pid);
    updates = history({"--drive", "a"});
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0]["status"], "interrupted");
    EXPECT_FALSE(updates[0].contains("result"));
    EXPECT_NE(run({"history"}).out.find("\n    cut off before its result was recorded"), std::string::npos);
}

// The sleep inhibitor is taken for the update and given back however it ends.
TEST_F(KduUpdateSafetyTest, TheSleepInhibitorIsReleasedAfterSuccessAndAfterFailure) {
    kdu::test::PrivateSystemBus bus;
    if (!bus.started()) GTEST_SKIP() << "dbus-daemon is not installed";
    kdu::test::FakeLogind logind(bus.address(), true);
    attach("a");
    EXPECT_EQ(run({simulate(), "update", "--drive", "a", "--yes"}).exitStatus, 0);
    attach("a", {{"faults", {{"modeChange", "toNormal"}}}});
    EXPECT_EQ(run({simulate(), "update", "--drive", "a", "--yes"}).exitStatus, 1);
    ASSERT_EQ(logind.calls().size(), 2u);
    EXPECT_EQ(logind.calls()[0].what, "sleep:shutdown");
    EXPECT_EQ(logind.calls()[0].mode, "block");
    EXPECT_TRUE(logind.released(0));
    EXPECT_TRUE(logind.released(1));
}

}  // namespace
