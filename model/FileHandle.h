// A read-only handle to an open file; closed when destroyed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class FileHandle {
public:
    // Opens `path` for reading; check isOpen().
    explicit FileHandle(const std::string& path);
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    bool isOpen() const { return fd_ >= 0; }
    // Reads up to `length` bytes at `offset`; shorter at the end of the file.
    std::vector<std::uint8_t> readAt(std::uint64_t offset, std::uint32_t length) const;
    // As readAt, but none when the handle is closed or the read fails.
    std::optional<std::vector<std::uint8_t>> tryReadAt(std::uint64_t offset, std::uint32_t length) const;
    void close();

private:
    int fd_ = -1;
};
