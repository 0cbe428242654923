// The sleep inhibitor against a private D-Bus daemon where a fake logind, served by this
// test over sd-bus, answers Inhibit with one end of a pipe: the lock is held while the
// pipe's other end stays open, and released once the fake's end sees the hang-up.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Log.h"
#include "platform/PowerInhibitor.h"

extern char** environ;

namespace {

using platform::SystemSleepInhibitor;

std::string findDbusDaemon() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/dbus-daemon";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// A bus daemon of our own, on a socket in a temporary folder, for the test's lifetime.
class PrivateBus {
public:
    PrivateBus(const std::string& daemon, const std::filesystem::path& folder) {
        const auto config = folder / "bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n  <type>session</type>\n"
                              << "  <listen>unix:path=" << (folder / "bus").string() << "</listen>\n"
                              << "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                                 "  </policy>\n</busconfig>\n";
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const std::string configArg = "--config-file=" + config.string();
        std::vector<char*> argv{const_cast<char*>(daemon.c_str()), const_cast<char*>(configArg.c_str()),
                                const_cast<char*>("--nofork"), const_cast<char*>("--print-address"), nullptr};
        const int spawned = ::posix_spawn(&pid_, daemon.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) pid_ = -1;
        // The daemon prints its address once it listens.
        pollfd p{out[0], POLLIN, 0};
        char c;
        while (pid_ > 0 && ::poll(&p, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
        ::close(out[0]);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }

    // Empty when the daemon did not start.
    const std::string& address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

// org.freedesktop.login1 on the private bus, on a thread of its own. Grants each Inhibit
// the write end of a fresh pipe, keeping the read end, or refuses every call.
class FakeLogind {
public:
    struct Call {
        std::string what, who, why, mode;
    };

    FakeLogind(std::string address, bool grant) : address_(std::move(address)), grant_(grant) {
        std::promise<bool> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] { serve(ready); });
        if (!started.get()) throw std::runtime_error("the fake logind could not start");
    }
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;
    ~FakeLogind() {
        stop_ = true;
        thread_.join();
        for (int fd : lockEnds_) ::close(fd);
    }

    std::vector<Call> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    // Whether the holder of the i-th lock granted has closed it, waiting up to `wait`.
    bool released(std::size_t i, std::chrono::milliseconds wait = std::chrono::seconds(10)) const {
        int fd;
        {
            const std::lock_guard lock(mutex_);
            if (i >= lockEnds_.size()) return false;
            fd = lockEnds_[i];
        }
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(wait.count())) == 1 && (p.revents & POLLHUP) != 0;
    }

private:
    static int onInhibit(sd_bus_message* message, void* userdata, sd_bus_error* error) {
        auto* self = static_cast<FakeLogind*>(userdata);
        const char *what, *who, *why, *mode;
        int r = sd_bus_message_read(message, "ssss", &what, &who, &why, &mode);
        if (r < 0) return r;
        {
            const std::lock_guard lock(self->mutex_);
            self->calls_.push_back({what, who, why, mode});
        }
        if (!self->grant_) return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Permission denied");
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
        {
            const std::lock_guard lock(self->mutex_);
            self->lockEnds_.push_back(ends[0]);
        }
        r = sd_bus_reply_method_return(message, "h", ends[1]);
        ::close(ends[1]);  // the reply carried its own copy
        return r;
    }

    void serve(std::promise<bool>& ready) {
        static const sd_bus_vtable kVtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogind::onInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        sd_bus* bus = nullptr;
        sd_bus_slot* slot = nullptr;
        bool ok = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address_.c_str()) >= 0 &&
                  sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_negotiate_fds(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
                  sd_bus_add_object_vtable(bus, &slot, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                           kVtable, this) >= 0 &&
                  sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
        ready.set_value(ok);
        while (ok && !stop_) {
            if (sd_bus_process(bus, nullptr) > 0) continue;
            sd_bus_wait(bus, 20'000);
        }
        sd_bus_slot_unref(slot);
        sd_bus_flush_close_unref(bus);
    }

    const std::string address_;
    const bool grant_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<int> lockEnds_;
};

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kdu-bus-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder_ = name;
        platform::setSyslogEnabled(false);
        platform::setDebugLogEnabled(true);
        platform::setLogSink([this](platform::LogLevel, const std::string& line) {
            const std::lock_guard lock(linesMutex_);
            lines_.push_back(line);
        });
    }
    void TearDown() override {
        logind_.reset();
        bus_.reset();
        platform::setLogSink(nullptr);
        platform::setDebugLogEnabled(false);
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        std::filesystem::remove_all(folder_);
    }

    // A private bus as the system bus; with a fake logind on it when `logind`.
    void startBus(bool logind, bool grant = true) {
        const std::string daemon = findDbusDaemon();
        if (daemon.empty()) GTEST_SKIP() << "dbus-daemon is not installed; the inhibitor needs a bus to be tested on";
        bus_ = std::make_unique<PrivateBus>(daemon, folder_);
        ASSERT_FALSE(bus_->address().empty()) << "dbus-daemon did not start";
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->address().c_str(), 1);
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

    std::filesystem::path folder_;
    std::unique_ptr<PrivateBus> bus_;
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
        EXPECT_FALSE(logind_->released(0, std::chrono::milliseconds(200)));
    }
    EXPECT_TRUE(logind_->released(0));
    EXPECT_FALSE(logged("[WAR]"));
}

TEST_F(SleepInhibitorTest, AMovedLockStaysHeldUntilItsLastOwnerEnds) {
    startBus(true);
    if (IsSkipped()) return;
    std::optional<SystemSleepInhibitor> last;
    {
        SystemSleepInhibitor first("why");
        SystemSleepInhibitor second(std::move(first));
        EXPECT_FALSE(first.held());  // NOLINT(bugprone-use-after-move): moved-from state is the point
        EXPECT_TRUE(second.held());
        last.emplace(std::move(second));
    }
    EXPECT_FALSE(logind_->released(0, std::chrono::milliseconds(200)));
    last.reset();
    EXPECT_TRUE(logind_->released(0));
}

TEST_F(SleepInhibitorTest, MoveAssignmentReleasesTheLockItOverwrites) {
    startBus(true);
    if (IsSkipped()) return;
    SystemSleepInhibitor kept("first");
    SystemSleepInhibitor other("second");
    kept = std::move(other);
    EXPECT_TRUE(logind_->released(0));
    EXPECT_FALSE(logind_->released(1, std::chrono::milliseconds(200)));
    kept.release();
    EXPECT_FALSE(kept.held());
    EXPECT_TRUE(logind_->released(1));
}

TEST_F(SleepInhibitorTest, AnExceptionUnwindingReleasesTheLock) {
    startBus(true);
    if (IsSkipped()) return;
    EXPECT_THROW(
        {
            const SystemSleepInhibitor inhibitor("why");
            ASSERT_TRUE(inhibitor.held());
            throw std::runtime_error("the update failed");
        },
        std::runtime_error);
    EXPECT_TRUE(logind_->released(0));
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
    if (busRunning) {
        startBus(false);
        if (IsSkipped()) return;
    } else {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (folder_ / "no-bus").string()).c_str(), 1);
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
