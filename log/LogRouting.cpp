#include "log/LogRouting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kdulog {

void writeFully(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a full disk or a closed stream costs the line, never the update
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

namespace {

class Router {
public:
    std::optional<std::string> set(const Routing& routing) {
        std::lock_guard lock(mutex_);
        closeFile();
        routing_ = routing;
        routed_ = true;
        if (!routing_.file) return std::nullopt;
        std::error_code ec;
        std::filesystem::create_directories(routing_.file->parent_path(), ec);
        if (!openFile()) {
            const std::string error = "cannot open the log file " + routing_.file->string() + ": " + std::strerror(errno);
            routing_.file.reset();
            return error;
        }
        return std::nullopt;
    }

    void reset() {
        std::lock_guard lock(mutex_);
        closeFile();
        routing_ = {};
        routed_ = false;
    }

    void write(Origin origin, std::string_view text) {
        if (text.empty()) return;
        std::lock_guard lock(mutex_);
        if (!routed_) {
            std::FILE* stream = origin == Origin::Out ? stdout : stderr;
            std::fwrite(text.data(), 1, text.size(), stream);
            return;
        }
        if (fd_ >= 0) {
            rotateIfFull(text.size());
            if (fd_ >= 0) writeFully(fd_, text);
        }
        if (routing_.toStderr) {
            std::fflush(stdout);  // what the front end printed comes first
            writeFully(STDERR_FILENO, text);
        }
    }

    ~Router() { closeFile(); }

private:
    bool openFile() {
        fd_ = ::open(routing_.file->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        return fd_ >= 0;
    }
    void closeFile() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Another process may have rotated meanwhile; the size is read from the file itself.
    void rotateIfFull(std::size_t adding) {
        struct stat st{};
        if (::fstat(fd_, &st) != 0) return;
        if (static_cast<std::uintmax_t>(st.st_size) + adding <= routing_.maxFileBytes) return;
        std::filesystem::path old = *routing_.file;
        old += ".1";
        std::error_code ec;
        std::filesystem::rename(*routing_.file, old, ec);
        closeFile();
        openFile();
    }

    std::mutex mutex_;
    Routing routing_;
    bool routed_ = false;
    int fd_ = -1;
};

Router& router() {
    static Router instance;
    return instance;
}

}  // namespace

std::optional<std::string> setRouting(const Routing& routing) { return router().set(routing); }

void resetRouting() { router().reset(); }

void writeRouted(Origin origin, std::string_view text) { router().write(origin, text); }

std::filesystem::path defaultLogFile(std::string_view name) {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (state != nullptr && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr && *home == '/' ? home : "/tmp") / ".local/state";
    }
    return base / "kestory-drive-updater" / name;
}

}  // namespace kdulog
