#include "model/FileHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileHandle::FileHandle(const std::string& path)
{
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
}

FileHandle::~FileHandle()
{
    close();
}

void FileHandle::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::vector<std::uint8_t> FileHandle::readAt(std::uint64_t offset, std::uint32_t length) const
{
    return tryReadAt(offset, length).value_or(std::vector<std::uint8_t>{});
}

std::optional<std::vector<std::uint8_t>> FileHandle::tryReadAt(std::uint64_t offset, std::uint32_t length) const
{
    if (fd_ < 0)
        return std::nullopt;
    std::vector<std::uint8_t> block(length);
    std::size_t filled = 0;
    while (filled < block.size()) {
        const std::uint64_t at = offset + filled;
        if (at < offset || at > static_cast<std::uint64_t>(INT64_MAX))
            break;  // beyond any file: nothing more to read
        const ssize_t got = ::pread(fd_, block.data() + filled, block.size() - filled, static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    block.resize(filled);
    return block;
}
