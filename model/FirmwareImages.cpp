#include "model/FirmwareImages.h"

#include "model/FirmwareImageFormat.h"
#include "model/Util.h"

namespace {

// The header fields in their order, each read by `field(offset, length)`.
template <typename Field>
void fillRecord(FirmFileData& record, const Field& field)
{
    record.setIsFileExists(true);
    using namespace image_format;
    record.setProduct(field(kProductOffset, kProductLength));
    record.setRevision(field(kRevisionOffset, kRevisionLength));
    record.setDate(field(kDateOffset, kDateLength));
    record.setHard_version(field(kHardVersionOffset, kHardVersionLength));
    record.setKrnl_version(field(kKernelVersionOffset, kKernelVersionLength));
    record.setDest_version(field(kDestVersionOffset, kDestVersionLength));
}

void readImageHeader(const std::string& baseName, FirmFileData& record)
{
    std::unique_ptr<FileHandle> handle = Util::openFile(firmwareFileName(baseName));
    if (!handle)
        return;
    fillRecord(record, [&](std::size_t offset, std::size_t length) {
        return Util::readFileWithUTF8String(*handle, offset, static_cast<std::int32_t>(length));
    });
    Util::closeFile(handle);
}

}  // namespace

std::string firmwareFileName(const std::string& baseName)
{
    return baseName + "." + kImageExtension;
}

void getFwFileInfo(FirmFileData& kernel, FirmFileData& normal)
{
    readImageHeader(kKernelImageBaseName, kernel);
    readImageHeader(kNormalImageBaseName, normal);
}

void readImageHeader(std::span<const std::uint8_t> image, FirmFileData& record)
{
    if (image.size() < image_format::kHeaderLength)
        return;
    fillRecord(record, [&](std::size_t offset, std::size_t length) {
        return Util::convertToString(image.data(), static_cast<std::int32_t>(offset), static_cast<std::int32_t>(length));
    });
}
