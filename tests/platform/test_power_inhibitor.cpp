// The sleep inhibitor against a private bus with a fake logind: the lock is held while
// the fake's end of the pipe sees no hang-up, released once it does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "log/Log.h"
#include "platform/PowerInhibitor.h"
#include "support/FakeLogind.h"

namespace {

using kdu::test::FakeLogind;
using kdu::test::PrivateSystemBus;
using platform::SystemSleepInhibitor;

constexpr std::chrono::milliseconds kStillHeldWait{200};

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        kdulog::setSyslogEnabled(false);
        kdulog::setDebugLogEnabled(true);
        kdulog::setLogSink([this](kdulog::LogLevel, const std::string& line) {
            const std::lock_guard lock(linesMutex_);
            lines_.push_back(line);
        });
    }
    void TearDown() override {
        logind_.reset();
        bus_.reset();
        kdulog::setLogSink(nullptr);
        kdulog::setDebugLogEnabled(false);
    }

    // A private bus as the system bus; with a fake logind on it when `logind`.
    void startBus(bool logind, bool grant = true) {
        bus_ = std::make_unique<PrivateSystemBus>();
        if (!bus_->started())
            GTEST_SKIP() << "dbus-daemon is not installed or did not start; the inhibitor needs a bus to be tested on";
        if (logind) logind_ = std::make_unique<FakeLogind>(bus_->address(), grant);
    }

    std::vector<std::string> lines() {
        const std::lock_guard lock(linesMutex_);
        return lines_;
    }
    bool logged(const std::string& tag) {
        for (const std::string& line : lines())
            if (line.find(tag) != std::string::npos) return true;
        return false;
    }

    std::unique_ptr<PrivateSystemBus> bus_;
    std::unique_ptr<FakeLogind> logind_;
    std::mutex linesMutex_;
    std::vector<std::string> lines_;
};

TEST_F(SleepInhibitorTest, AsksLogindToBlockSleepAndShutdownAndHoldsTheLockForItsLifetime) {
    startBus(true);
    if (IsSkipped()) return;
    {
        const SystemSleepInhibitor inhibitor("Installing firmware into the drive");
        EXPECT_TRUE(inhibitor.held());
        const auto calls = logind_->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].what, "sleep:shutdown");
        EXPECT_EQ(calls[0].who, "Kestory Drive Updater");
        EXPECT_EQ(calls[0].why, "Installing firmware into the drive");
        EXPECT_EQ(calls[0].mode, "block");
        EXPECT_FALSE(logind_->released(0, kStillHeldWait));
    }
    EXPECT_TRUE(logind_->released(0));
    EXPECT_FALSE(logged("[WAR]"));
}

TEST_F(SleepInhibitorTest, ARefusedLockIsAWarningAndTheUpdateGoesOn) {
    startBus(true, false);
    if (IsSkipped()) return;
    const SystemSleepInhibitor inhibitor("why");
    EXPECT_FALSE(inhibitor.held());
    EXPECT_EQ(logind_->calls().size(), 1u);
    EXPECT_TRUE(logged("[WAR]"));
}

// Without logind, or without a system bus at all: no lock, no error, one debug line.
class NoLogindTest : public SleepInhibitorTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NoLogindTest, GoesOnWithoutALockAndSaysSoAtDebugLevel) {
    const bool busRunning = GetParam();
    std::optional<kdu::test::SystemBusAddress> noBus;
    if (busRunning) {
        startBus(false);
        if (IsSkipped()) return;
    } else {
        noBus.emplace("unix:path=/nonexistent/kdu-no-system-bus");
    }
    const SystemSleepInhibitor inhibitor("why");
    EXPECT_FALSE(inhibitor.held());
    const auto logged = lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("SystemSleepInhibitor::SystemSleepInhibitor("), std::string::npos);
    EXPECT_NE(logged[0].find(") [DBG] "), std::string::npos);
    EXPECT_NE(logged[0].find(busRunning ? "no logind" : "no system bus"), std::string::npos) << logged[0];
}

INSTANTIATE_TEST_SUITE_P(Bus, NoLogindTest, ::testing::Values(true, false),
                         [](const auto& bus) { return bus.param ? "BusWithoutLogind" : "NoBus"; });

}  // namespace
