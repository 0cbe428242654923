#include "KduProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace kdu_test {

namespace {

std::vector<char*> argvFor(std::vector<std::string>& storage) {
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int exitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// A temporary file removed at the end of the scope.
class TempFile {
public:
    TempFile() {
        char name[] = "/tmp/kdu-test-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) throw std::runtime_error("mkstemp failed");
        ::close(fd);
        path_ = name;
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

pid_t spawnKdu(const std::vector<std::string>& args, SpawnActions& actions) {
    std::vector<std::string> storage{KDU_EXECUTABLE};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv = argvFor(storage);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start kdu");
    return pid;
}

}  // namespace

RunResult runKdu(const std::vector<std::string>& args, const std::string& input) {
    TempFile in, out, err;
    std::ofstream(in.path()) << input;
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, in.path().c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, out.path().c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(actions.get(), 2, err.path().c_str(), O_WRONLY | O_TRUNC, 0);
    const pid_t pid = spawnKdu(args, actions);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return RunResult{exitStatusOf(status), slurp(out.path()), slurp(err.path())};
}

KduChild::KduChild(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    SpawnActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), fds[1], 1);
    posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    try {
        pid_ = spawnKdu(args, actions);
    } catch (...) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw;
    }
    ::close(fds[1]);
    out_ = ::fdopen(fds[0], "r");
}

KduChild::~KduChild() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ != nullptr) std::fclose(out_);
}

bool KduChild::readLine(std::string& line) {
    line.clear();
    for (int c = std::fgetc(out_); c != EOF; c = std::fgetc(out_)) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

void KduChild::signal(int signo) { ::kill(pid_, signo); }

int KduChild::wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return exitStatusOf(status);
}

}  // namespace kdu_test
