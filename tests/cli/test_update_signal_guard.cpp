// The update's signal guard, each case in a child process of its own: signal masks and
// dispositions are the whole process's, and some cases end the process.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>

#include "cli/UpdateSignalGuard.h"

namespace cli {
void PrintTo(UpdateSignalGuard::Phase phase, std::ostream* out) {
    constexpr const char* kNames[] = {"Before", "Critical", "InstallWait", "After"};
    *out << kNames[static_cast<int>(phase)];
}
}  // namespace cli

namespace {

using cli::UpdateSignalGuard;
using Phase = UpdateSignalGuard::Phase;

constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr char kCriticalLine[] = "finishing: stopping now would leave the drive unusable\n";
// A child that waits this long for its go byte has been forgotten by its parent.
constexpr int kChildPatienceMs = 20000;

// Exit statuses of the child bodies below, other than 0 (all well) and 128 + signal.
enum ChildFailure { kInterrupted = 10, kNoData, kNoStopRequest, kWrongState, kStillRunning };

// A forked child running `body`; its stderr is captured and it reads a go byte from the
// descriptor `body` is given. The child's exit status is what `body` returns.
class Child {
public:
    explicit Child(const std::function<int(int goFd)>& body) {
        int err[2], go[2];
        if (::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(go, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(err[1], STDERR_FILENO);
            ::close(err[0]);
            ::close(go[1]);
            ::_exit(body(go[0]));
        }
        ::close(err[1]);
        ::close(go[0]);
        errFd_ = err[0];
        goFd_ = go[1];
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(errFd_);
        ::close(goFd_);
    }

    bool started() const { return pid_ > 0; }

    // Reads stderr until it holds `lines` lines (or the child closes it, or time runs out).
    const std::string& readLines(std::size_t lines) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildPatienceMs);
        while (countLines() < lines && std::chrono::steady_clock::now() < deadline)
            if (!readSome(100)) break;
        return err_;
    }
    void go() {
        const ssize_t written = ::write(goFd_, "g", 1);
        (void)written;
    }
    // The child's wait status, once its stderr is read to the end.
    int wait() {
        while (readSome(kChildPatienceMs)) {
        }
        ::waitpid(pid_, &status_, 0);
        return status_;
    }
    const std::string& err() const { return err_; }

private:
    std::size_t countLines() const {
        std::size_t n = 0;
        for (char c : err_) n += c == '\n';
        return n;
    }
    // False at end of file or when nothing came within `timeoutMs`.
    bool readSome(int timeoutMs) {
        pollfd p{errFd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return false;
        char buffer[256];
        const ssize_t n = ::read(errFd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        err_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int errFd_ = -1, goFd_ = -1;
    int status_ = -1;
    std::string err_;
};

int exitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Waits for the go byte the way the update waits for SG_IO: a blocking call that a
// caught signal would cut short. poll is never restarted, whatever SA_RESTART says.
int awaitGo(int goFd) {
    pollfd p{goFd, POLLIN, 0};
    const int r = ::poll(&p, 1, kChildPatienceMs);
    if (r < 0) return errno == EINTR ? kInterrupted : kNoData;
    char c;
    return r == 1 && ::read(goFd, &c, 1) == 1 ? 0 : kNoData;
}

// Waits until thread `tid` of this process sleeps in a call (up to the child's patience),
// so signals sent next find it blocked there.
void awaitSleeping(pid_t tid) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildPatienceMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream stat(path);
        std::string line;
        std::getline(stat, line);
        // "tid (comm) S ...": the state follows the last parenthesis.
        const std::size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S') return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Before and After: a signal ends kdu at once with 128 + signal and its line. InstallWait:
// it asks the caller's wait loop to stop, and nothing more.
class PhaseTest : public ::testing::TestWithParam<std::tuple<Phase, int>> {};

TEST_P(PhaseTest, ASignalEndsTheProcessOrRequestsAStop) {
    const auto [phase, signo] = GetParam();
    Child child([phase = phase, signo = signo](int) {
        UpdateSignalGuard guard;
        guard.setPhase(phase);
        ::kill(::getpid(), signo);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildPatienceMs);
        while (!guard.stopRequested() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return guard.stopSignal() == signo ? 0 : int{kNoStopRequest};
    });
    ASSERT_TRUE(child.started());
    const int status = child.wait();
    const char* line = phase == Phase::Before  ? "kdu: interrupted; nothing was sent to the drive.\n"
                       : phase == Phase::After ? "kdu: interrupted; the update had already ended.\n"
                                               : "";
    EXPECT_EQ(exitCode(status), phase == Phase::InstallWait ? 0 : 128 + signo) << child.err();
    EXPECT_EQ(child.err(), line);
}

INSTANTIATE_TEST_SUITE_P(Signals, PhaseTest,
                         ::testing::Combine(::testing::Values(Phase::Before, Phase::InstallWait, Phase::After),
                                            ::testing::ValuesIn(kHeldSignals)),
                         [](const auto& param) {
                             return ::testing::PrintToString(std::get<0>(param.param)) + "_" +
                                    sigabbrev_np(std::get<1>(param.param));
                         });

// Critical: every signal is answered with one line and changes nothing else; the call
// the process is blocked in runs on until its data comes.
TEST(CriticalPhaseTest, EachSignalIsAnsweredWithOneLineAndTheBlockedCallRunsOn) {
    Child child([](int goFd) {
        UpdateSignalGuard guard;
        guard.setPhase(Phase::Critical);
        std::thread sender([waiter = ::gettid()] {
            awaitSleeping(waiter);
            for (int signo : kHeldSignals) ::kill(::getpid(), signo);
        });
        const int waited = awaitGo(goFd);
        sender.join();
        if (waited != 0) return waited;
        return guard.stopRequested() ? int{kWrongState} : 0;
    });
    ASSERT_TRUE(child.started());
    child.readLines(std::size(kHeldSignals));
    child.go();
    const int status = child.wait();
    EXPECT_EQ(exitCode(status), 0) << child.err();
    std::string expected;
    for (std::size_t i = 0; i < std::size(kHeldSignals); ++i) expected += kCriticalLine;
    EXPECT_EQ(child.err(), expected);
}

// Writing to a pipe nobody reads fails with EPIPE instead of killing the process while the
// guard lives; afterwards the mask and SIGPIPE are as they were, and SIGPIPE kills again.
TEST(SignalGuardLifetimeTest, SigpipeIsIgnoredWhileItLivesAndEverythingIsRestoredAfter) {
    Child child([](int) {
        sigset_t before, after;
        ::pthread_sigmask(SIG_SETMASK, nullptr, &before);
        int ends[2];
        if (::pipe(ends) != 0) return int{kWrongState};
        ::close(ends[0]);
        {
            UpdateSignalGuard guard;
            guard.setPhase(Phase::Critical);
            if (::write(ends[1], "x", 1) != -1 || errno != EPIPE) return int{kWrongState};
            std::fputs("survived\n", stderr);
        }
        ::pthread_sigmask(SIG_SETMASK, nullptr, &after);
        for (int signo : kHeldSignals)
            if (sigismember(&before, signo) != sigismember(&after, signo)) return int{kWrongState};
        const ssize_t written = ::write(ends[1], "x", 1);  // SIGPIPE ends the child here
        (void)written;
        return int{kStillRunning};
    });
    ASSERT_TRUE(child.started());
    const int status = child.wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << exitCode(status);
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_EQ(child.err(), "survived\n");
}

}  // namespace
