// The two firmware images shipped among the resources, and the reading of their headers.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "model/FirmFileData.h"

inline constexpr char kKernelImageBaseName[] = "R7360500";
inline constexpr char kNormalImageBaseName[] = "R7360501";
inline constexpr char kImageExtension[] = "121";
inline constexpr char kTargetRevision[] = "1.21";

// "%@.%@" of a base name and the extension.
std::string firmwareFileName(const std::string& baseName);

// Fills the kernel record first, then the normal one, from the image headers.
// A missing image leaves its record untouched.
void getFwFileInfo(FirmFileData& kernel, FirmFileData& normal);

// The same fields from an image already read whole; a record is left untouched by an image
// shorter than its header.
void readImageHeader(std::span<const std::uint8_t> image, FirmFileData& record);
