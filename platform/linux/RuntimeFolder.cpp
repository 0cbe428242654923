#include "platform/linux/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Made if missing; then it must be a real folder (no link), ours, and closed to others,
// since what it holds is acted upon at the next start.
bool privateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0077) == 0;
}

}  // namespace

std::optional<std::string> runtimeFolder(const std::string& chosen) {
    std::string folder = chosen;
    if (folder.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const std::string perUser = "/run/user/" + std::to_string(::geteuid());
        if (runtime != nullptr && runtime[0] == '/' && isDirectory(runtime)) {
            folder = std::string(runtime) + "/kestory-drive-updater";
        } else if (isDirectory(perUser)) {
            folder = perUser + "/kestory-drive-updater";
        } else {
            folder = "/tmp/kestory-drive-updater-" + std::to_string(::geteuid());
        }
    }
    if (!privateFolder(folder)) return std::nullopt;
    return folder;
}

}  // namespace platform
