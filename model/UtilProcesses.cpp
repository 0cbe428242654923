#include <cctype>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "model/Util.h"

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

bool isProcessId(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name)
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    return true;
}

}  // namespace

// A copy of this program is a process whose executable is the same file (device and inode),
// so an installed copy and one in a build tree are different programs. Processes whose
// executable cannot be looked at (other users', zombies, kernel threads) are not counted.
std::int32_t Util::countLaunchedApp()
{
    struct stat self {};
    if (::stat("/proc/self/exe", &self) != 0)
        return 1;  // this process runs, whatever /proc says
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc)
        return 1;
    std::int32_t count = 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!isProcessId(entry->d_name))
            continue;
        const std::string exe = std::string("/proc/") + entry->d_name + "/exe";
        struct stat st {};
        if (::stat(exe.c_str(), &st) != 0)
            continue;
        if (st.st_dev == self.st_dev && st.st_ino == self.st_ino)
            ++count;
    }
    return count > 0 ? count : 1;
}
