#include "platform/DriveUpdateLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdlib>

namespace platform {

namespace {

// Ids hold '/', ':' and the like; the file name keeps letters and digits and encodes the rest,
// so two ids never share a lock file.
std::string lockFileName(const std::string& driveId) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = "update-";
    for (const unsigned char c : driveId) {
        if (std::isalnum(c) || c == '-' || c == '.') {
            name.push_back(static_cast<char>(c));
        } else {
            name.push_back('_');
            name.push_back(kHex[c >> 4]);
            name.push_back(kHex[c & 0x0F]);
        }
    }
    return name + ".lock";
}

bool ensurePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    struct stat st {};
    // An existing folder must be ours and a real folder, or someone else could hold our locks.
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

}  // namespace

std::string DriveUpdateLock::lockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/kestory-drive-updater";
    return "/tmp/kestory-drive-updater-" + std::to_string(::getuid());
}

std::optional<DriveUpdateLock> DriveUpdateLock::tryTake(const std::string& driveId, std::string& whyNot) {
    if (driveId.empty()) {
        whyNot = "the drive has no identity to lock";
        return std::nullopt;
    }
    const std::string folder = lockFolder();
    if (!ensurePrivateFolder(folder)) {
        whyNot = "cannot use the lock folder " + folder + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const std::string path = folder + "/" + lockFileName(driveId);
    kdulog::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        whyNot = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        whyNot = errno == EWOULDBLOCK ? std::string(kHeldElsewhere)
                                      : "cannot lock " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return DriveUpdateLock(std::move(fd));
}

}  // namespace platform
