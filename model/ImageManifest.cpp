#include "model/ImageManifest.h"

#include <openssl/evp.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "model/FirmwareImages.h"

namespace {

constexpr std::size_t kDigestHexLength = 64;

bool isLowerHex(std::string_view text) {
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return {};  // never equal to a manifest entry, so nothing unproven passes
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kHex[digest[i] >> 4]);
        hex.push_back(kHex[digest[i] & 0x0F]);
    }
    return hex;
}

std::optional<std::map<std::string, std::string>> parseImageManifest(std::string_view text, std::string& error) {
    std::map<std::string, std::string> entries;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        if (line.empty()) continue;
        // "<digest>  <name>"; sha256sum marks binary mode with '*' in place of the second blank.
        if (line.size() < kDigestHexLength + 3 || line[kDigestHexLength] != ' ' ||
            (line[kDigestHexLength + 1] != ' ' && line[kDigestHexLength + 1] != '*') ||
            !isLowerHex(line.substr(0, kDigestHexLength))) {
            error = "line " + std::to_string(lineNumber) + " is not \"<sha256>  <file>\"";
            return std::nullopt;
        }
        const std::string name(line.substr(kDigestHexLength + 2));
        if (!entries.emplace(name, std::string(line.substr(0, kDigestHexLength))).second) {
            error = name + " is listed twice";
            return std::nullopt;
        }
    }
    return entries;
}

bool writeImageManifest(const std::filesystem::path& folder, std::string& error) {
    std::ostringstream manifest;
    for (const char* base : {kKernelImageBaseName, kNormalImageBaseName}) {
        const std::string name = firmwareFileName(base);
        std::error_code ec;
        if (!std::filesystem::exists(folder / name, ec)) continue;  // an absent image stays unlisted
        std::ifstream in(folder / name, std::ios::binary);
        if (!in) {
            error = "cannot read " + (folder / name).string();
            return false;
        }
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        manifest << sha256Hex(bytes) << "  " << name << "\n";
    }
    const std::filesystem::path target = folder / kImageManifestName;
    const std::filesystem::path temporary = folder / (std::string(".") + kImageManifestName + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << manifest.str();
        if (!out.flush()) {
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        error = "cannot write " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}
