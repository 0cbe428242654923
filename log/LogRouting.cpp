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

bool writeFully(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void occupyClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower ones are open, so this takes `fd`; opened the other way round, it can
        // neither be read (stdin) nor written (stdout, stderr), as when it was closed.
        (void)::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
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
        std::optional<std::string> error = openFile();
        if (error) routing_.file.reset();
        return error;
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
    // Anyone who can write the state directory can plant something in the file's place: a
    // link is not followed, a FIFO never makes the opening wait, and only a regular file is kept.
    std::optional<std::string> openFile() {
        const std::string& path = routing_.file->native();
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
        struct stat st{};
        if (fd < 0) {
            const int openError = errno;
            if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return notRegularText(st);
            return "cannot open the log file " + path + ": " + std::strerror(openError);
        }
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return notRegularText(st);
        }
        fd_ = fd;
        return std::nullopt;
    }
    std::string notRegularText(const struct stat& st) const {
        const char* kind = S_ISLNK(st.st_mode) ? "a symbolic link" : S_ISFIFO(st.st_mode) ? "a FIFO"
                         : S_ISDIR(st.st_mode) ? "a directory" : S_ISSOCK(st.st_mode) ? "a socket"
                         : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device" : "a special file";
        return "the log file " + routing_.file->string() + " is " + kind + ", not a regular file";
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
        (void)openFile();  // refused: the lines from here on are not kept
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
