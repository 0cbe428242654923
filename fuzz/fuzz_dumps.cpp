// The diagnostic dumps of INQUIRY and READ BUFFER data, given exactly the bytes that
// arrived (an answer of any length), so reading past them shows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drive/STUCMethod.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> answer(data, data + size);
    const auto length = static_cast<std::uint32_t>(answer.size());
    PrintSCSIInquiryDataUsing(answer.data(), length);
    PrintReadBuffer(answer.data(), length);
    return 0;
}
