#include "model/Util.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "model/Utf8.h"
#include "model/UtilDetail.h"

namespace {

constexpr std::uint8_t kMediumNotPresent = 0x3A;

// The two byte-to-text helpers share this size; one byte always stays zero.
constexpr std::size_t kTextBufferSize = 256;

std::string withoutBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != ' '; });
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Compares two runs of decimal digits by value without converting them, so runs of any
// length work.
int compareDigitRuns(std::string_view a, std::string_view b)
{
    const auto strip = [](std::string_view run) {
        const auto first = run.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view{} : run.substr(first);
    };
    a = strip(a);
    b = strip(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
}

int compareNumericAware(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            if (const int c = compareDigitRuns(a.substr(i, ie - i), b.substr(j, je - j)); c != 0)
                return c;
            i = ie;
            j = je;
            continue;
        }
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size(), bLeft = j < b.size();
    return aLeft == bLeft ? 0 : (aLeft ? 1 : -1);
}

}  // namespace

namespace util_detail {

// Text of a zero-filled buffer holding `bytes` at its start: up to the first zero byte,
// absent when not UTF-8. Input beyond 255 bytes is cut so the terminating zero remains.
OptionalText textOfField(const std::uint8_t* bytes, std::size_t length)
{
    std::array<char, kTextBufferSize> buffer{};
    const std::size_t n = std::min(length, kTextBufferSize - 1);
    if (n > 0)
        std::memcpy(buffer.data(), bytes, n);
    const std::string_view text(buffer.data(), std::strlen(buffer.data()));
    if (!isValidUtf8(text))
        return std::nullopt;
    return std::string(text);
}

}  // namespace util_detail

bool Util::isPresenceOfDisc(const scsi::Sense& sense)
{
    return sense.asc() != kMediumNotPresent;
}

std::int64_t Util::cmpCurVersion(const OptionalText& cur, const OptionalText& aCmpVer)
{
    if (!cur || !aCmpVer)
        return 0;
    return compareNumericAware(withoutBlanks(*cur), withoutBlanks(*aCmpVer));
}

bool Util::isTargetModel(const OptionalText& product)
{
    if (!product)
        return false;
    const std::array<std::string_view, 1> targetModels{"BD-RW KVL-MT38"};
    const std::string wanted = withoutBlanks(*product);
    return std::any_of(targetModels.begin(), targetModels.end(),
                       [&](std::string_view model) { return withoutBlanks(model) == wanted; });
}

OptionalText Util::convertToString(const std::uint8_t* bytes, std::int32_t offset, std::int32_t length)
{
    if (bytes == nullptr || length < 1 || offset < 0)
        return std::nullopt;
    return util_detail::textOfField(bytes + offset, static_cast<std::size_t>(length));
}
