// Texts from drives and images: UTF-8 validation, field extraction and the version and
// model comparisons that decide whether a drive may be updated.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Utf8.h"
#include "model/Util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto offset = input.ConsumeIntegralInRange<std::int32_t>(-1, 300);
    const auto length = input.ConsumeIntegralInRange<std::int32_t>(-1, 300);
    const std::string first = input.ConsumeRandomLengthString(64);
    const std::vector<std::uint8_t> field = input.ConsumeRemainingBytes<std::uint8_t>();

    // Only the bytes given are read: the offset and length stay inside them.
    if (offset >= 0 && length >= 0 && static_cast<std::size_t>(offset) + static_cast<std::size_t>(length) <= field.size()) {
        const OptionalText text = Util::convertToString(field.data(), offset, length);
        if (text && (text->size() > static_cast<std::size_t>(length) || !isValidUtf8(*text))) __builtin_trap();
    }

    const std::string second(field.begin(), field.end());
    (void)isValidUtf8(second);
    const std::int64_t forward = Util::cmpCurVersion(first, second);
    const std::int64_t backward = Util::cmpCurVersion(second, first);
    if (forward < -1 || forward > 1 || forward != -backward) __builtin_trap();
    if (Util::cmpCurVersion(first, first) != 0) __builtin_trap();
    (void)Util::isTargetModel(second);
    return 0;
}
