// The sleep inhibitor against a private bus with a fake logind: the lock is held for the
// inhibitor's lifetime, and without one the update goes on with one line saying why.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "log/Log.h"
#include "platform/PowerInhibitor.h"
#include "support/FakeLogind.h"

namespace {

using kdu::test::FakeLogind;
using kdu::test::PrivateSystemBus;
using platform::SystemSleepInhibitor;

enum class Bus { None, WithoutLogind, Refusing, Granting };

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

    void startBus(Bus kind) {
        if (kind == Bus::None) {
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kdu-no-system-bus", 1);
            return;
        }
        bus_ = std::make_unique<PrivateSystemBus>();
        if (!bus_->started())
            GTEST_SKIP() << "dbus-daemon is not installed or did not start; the inhibitor needs a bus to be tested on";
        if (kind != Bus::WithoutLogind) logind_ = std::make_unique<FakeLogind>(bus_->address(), kind == Bus::Granting);
    }

    std::vector<std::string> lines() {
        const std::lock_guard lock(linesMutex_);
        return lines_;
    }

    std::unique_ptr<PrivateSystemBus> bus_;
    std::unique_ptr<FakeLogind> logind_;
    std::mutex linesMutex_;
    std::vector<std::string> lines_;
};

TEST_F(SleepInhibitorTest, HoldsTheLockForItsLifetime) {
    startBus(Bus::Granting);
    if (IsSkipped()) return;
    {
        const SystemSleepInhibitor inhibitor("Installing firmware into the drive");
        EXPECT_TRUE(inhibitor.held());
        ASSERT_EQ(logind_->calls().size(), 1u);
        EXPECT_EQ(logind_->calls()[0].why, "Installing firmware into the drive");
        EXPECT_FALSE(logind_->released(0, std::chrono::milliseconds(200)));
    }
    EXPECT_TRUE(logind_->released(0));
    for (const std::string& line : lines()) EXPECT_EQ(line.find("[WAR]"), std::string::npos) << line;
}

struct NoLockCase {
    const char* name;
    Bus bus;
    const char* said;  // the one line logged
};

void PrintTo(const NoLockCase& c, std::ostream* os) { *os << c.name; }

class NoLock : public SleepInhibitorTest, public ::testing::WithParamInterface<NoLockCase> {};

TEST_P(NoLock, GoesOnWithoutALockAndSaysWhyOnce) {
    startBus(GetParam().bus);
    if (IsSkipped()) return;
    const SystemSleepInhibitor inhibitor("why");
    EXPECT_FALSE(inhibitor.held());
    const auto logged = lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("SystemSleepInhibitor::SystemSleepInhibitor(", 0), 0u) << logged[0];
    EXPECT_NE(logged[0].find(GetParam().said), std::string::npos) << logged[0];
}

INSTANTIATE_TEST_SUITE_P(Buses, NoLock,
                         ::testing::Values(NoLockCase{"NoBus", Bus::None, "[DBG] no system bus"},
                                           NoLockCase{"BusWithoutLogind", Bus::WithoutLogind, "[DBG] no logind"},
                                           NoLockCase{"Refused", Bus::Refusing, "[WAR] logind refused"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
