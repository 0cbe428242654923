#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <utility>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A running probe process with pipes to its standard input and output.
class Probe {
public:
    explicit Probe(const char* mode) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(KDU_COUNT_PROBE_PATH, KDU_COUNT_PROBE_PATH, mode, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~Probe() { finish(); }

    std::string readLine() {
        std::string line;
        char c;
        while (fromChild_ >= 0 && ::read(fromChild_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Closes its input and reaps it: once this returns, the process is gone from /proc.
    int finish() {
        closeFd(toChild_);
        closeFd(fromChild_);
        int status = -1;
        if (pid_ > 0) {
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status;
    }

private:
    static void closeFd(int& fd) {
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
    }

    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1;
};

int countSeenByAProbe()
{
    Probe probe("count");
    const std::string line = probe.readLine();
    probe.finish();
    return line.empty() ? -1 : std::stoi(line);
}

TEST(CountLaunchedApp, SeesASecondCopyWhileItRuns)
{
    EXPECT_EQ(countSeenByAProbe(), 1);
    {
        Probe waiting("wait");
        ASSERT_EQ(waiting.readLine(), "ready");
        EXPECT_EQ(countSeenByAProbe(), 2);
        EXPECT_EQ(waiting.finish(), 0);
    }
    EXPECT_EQ(countSeenByAProbe(), 1);
}

}  // namespace
