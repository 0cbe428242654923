// The SHA-256 manifest that the build writes beside the shipped firmware images, in the
// format of sha256sum ("<64 hex digits>  <file name>" per line), so a person can check
// the files with the usual tool too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr char kImageManifestName[] = "images.sha256";

// Lower-case hex SHA-256 of `bytes`.
std::string sha256Hex(std::span<const std::uint8_t> bytes);

// File name -> digest. None, with the reason in `error`, for anything but well-formed lines.
std::optional<std::map<std::string, std::string>> parseImageManifest(std::string_view text, std::string& error);

// Hashes the firmware images in `folder` and writes the manifest beside them; an image
// that is not there is left out of it.
bool writeImageManifest(const std::filesystem::path& folder, std::string& error);
