// Stateless helpers shared by every layer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/FileHandle.h"
#include "scsi/Sense.h"

using OptionalText = std::optional<std::string>;

class Util {
public:
    Util() = delete;

    // False exactly when the additional sense code is 0x3A (medium not present).
    static bool isPresenceOfDisc(const scsi::Sense& sense);
    // -1, 0 or +1; blanks removed, runs of digits compared by value. An absent first
    // text gives 0, and so does an absent second one (it must never make a drive eligible).
    static std::int64_t cmpCurVersion(const OptionalText& cur, const OptionalText& aCmpVer);
    // True when the product, blanks removed, is the target model.
    static bool isTargetModel(const OptionalText& product);

    // Resource files of the application, found by their full name.
    static std::unique_ptr<FileHandle> openFile(const std::string& name);
    static OptionalText fullPath(const std::string& name);
    static std::vector<std::uint8_t> readFile(FileHandle& handle, std::uint64_t offset, std::int32_t length);
    static OptionalText readFileWithUTF8String(FileHandle& handle, std::uint64_t offset, std::int32_t length);
    static OptionalText convertToString(const std::uint8_t* bytes, std::int32_t offset, std::int32_t length);
    static void closeFile(std::unique_ptr<FileHandle>& handle);

    // The folder searched for resources: the override if set, else
    // <folder of the executable>/../share/kestory-drive-updater when it exists, else the
    // installed <prefix>/share/kestory-drive-updater. Names with '/' or ".." are refused.
    static OptionalText resourceDirectory();
    // Tests point resource lookup elsewhere; std::nullopt restores the default.
    static void setResourceDirectoryOverride(OptionalText directory);
};
