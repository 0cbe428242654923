#include <algorithm>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>

#include "model/Util.h"
#include "model/UtilDetail.h"

#ifndef KDU_INSTALL_FULL_DATADIR
#define KDU_INSTALL_FULL_DATADIR "/usr/local/share/kestory-drive-updater"
#endif

namespace {

constexpr char kResourceFolder[] = "share/kestory-drive-updater";

std::mutex& overrideMutex()
{
    static std::mutex m;
    return m;
}

OptionalText& overrideDirectory()
{
    static OptionalText dir;
    return dir;
}

// Resource names are plain file names: anything that could reach outside the folder is refused.
bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.find("..") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isDirectory(const std::filesystem::path& p)
{
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

}  // namespace

void Util::setResourceDirectoryOverride(OptionalText directory)
{
    std::lock_guard lock(overrideMutex());
    overrideDirectory() = std::move(directory);
}

OptionalText Util::resourceDirectory()
{
    {
        std::lock_guard lock(overrideMutex());
        if (overrideDirectory())
            return overrideDirectory();
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto beside = (exe.parent_path().parent_path() / kResourceFolder).lexically_normal();
        if (isDirectory(beside))
            return beside.string();
    }
    return std::string(KDU_INSTALL_FULL_DATADIR);
}

OptionalText Util::fullPath(const std::string& name)
{
    if (!isPlainFileName(name))
        return std::nullopt;
    const OptionalText dir = resourceDirectory();
    if (!dir)
        return std::nullopt;
    std::string path = *dir + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return path;
}

std::unique_ptr<FileHandle> Util::openFile(const std::string& name)
{
    const OptionalText path = fullPath(name);
    if (!path)
        return nullptr;
    auto handle = std::make_unique<FileHandle>(*path);
    if (!handle->isOpen())
        return nullptr;
    return handle;
}

std::vector<std::uint8_t> Util::readFile(FileHandle& handle, std::uint64_t offset, std::int32_t length)
{
    if (length < 1)
        return {};
    return handle.readAt(offset, static_cast<std::uint32_t>(length));
}

OptionalText Util::readFileWithUTF8String(FileHandle& handle, std::uint64_t offset, std::int32_t length)
{
    // Only the text buffer's worth is ever used, so no more is read.
    const auto wanted = static_cast<std::uint32_t>(std::clamp<std::int32_t>(length, 0, 255));
    const auto block = handle.tryReadAt(offset, wanted);
    if (!block)
        return std::nullopt;
    return util_detail::textOfField(block->data(), block->size());
}

void Util::closeFile(std::unique_ptr<FileHandle>& handle)
{
    handle.reset();
}
