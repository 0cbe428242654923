// A private D-Bus daemon standing in for the system bus, and a fake logind on it, for
// tests of the sleep inhibitor and of the updates that take it. The fake answers each
// Inhibit with the write end of a fresh pipe and keeps the read end: the lock is held
// while that end sees no hang-up.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kdu::test {

// dbus-daemon on a socket in a temporary folder, the system bus of this process and its
// children for the object's lifetime.
class PrivateSystemBus {
public:
    PrivateSystemBus();  // started() tells whether it runs (dbus-daemon may be missing)
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;
    ~PrivateSystemBus();

    bool started() const { return !address_.empty(); }
    const std::string& address() const { return address_; }

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    std::string address_;
    std::optional<std::string> previous_;  // the system bus address before
};

// org.freedesktop.login1 on `address`, served on a thread of its own. Grants every
// Inhibit, or refuses every one with AccessDenied.
class FakeLogind {
public:
    struct Call {
        std::string what, who, why, mode;
    };

    FakeLogind(std::string address, bool grant);  // throws when it cannot own the name
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;
    ~FakeLogind();

    std::vector<Call> calls() const;
    // Whether the holder of the i-th lock granted has closed it, waiting up to `wait`.
    bool released(std::size_t i, std::chrono::milliseconds wait = std::chrono::seconds(10)) const;

private:
    friend struct FakeLogindHandler;  // the sd-bus callback, beside the sd-bus types
    void serve(std::promise<bool>& ready);

    const std::string address_;
    const bool grant_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<int> lockEnds_;
};

}  // namespace kdu::test
