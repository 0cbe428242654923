// kdu-mkimage FOLDER [--binding HEADER]: writes the sample kernel and normal firmware images
// into FOLDER, and the table of them that the programs are built with into HEADER.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "model/FirmwareImages.h"
#include "model/ImageManifest.h"
#include "tools/ImageMaker.h"

namespace {

bool writeImage(const std::string& folder, const char* baseName, const image_maker::ImageSpec& profile)
{
    const std::string path = folder + "/" + firmwareFileName(baseName);
    const auto image = image_maker::makeImage(profile);
    if (image.empty()) {
        std::fprintf(stderr, "kdu-mkimage: bad image description for %s\n", path.c_str());
        return false;
    }
    if (!image_maker::writeFileAtomically(path, image)) {
        std::fprintf(stderr, "kdu-mkimage: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    const bool withBinding = argc == 4 && std::strcmp(argv[2], "--binding") == 0;
    if (help || (argc != 2 && !withBinding)) {
        std::fprintf(help ? stdout : stderr, "usage: kdu-mkimage FOLDER [--binding HEADER]\n"
                     "Writes the sample firmware images %s.%s and %s.%s and their SHA-256 manifest %s into FOLDER;\n"
                     "with --binding, also the C++ table of each image's file, length and SHA-256 into HEADER.\n",
                     kKernelImageBaseName, kImageExtension, kNormalImageBaseName, kImageExtension, kImageManifestName);
        return help ? 0 : 2;
    }
    const std::string folder = argv[1];
    if (!writeImage(folder, kKernelImageBaseName, image_maker::kernelImageSpec()) ||
        !writeImage(folder, kNormalImageBaseName, image_maker::normalImageSpec()))
        return 1;
    // The manifest is for people checking the files with sha256sum; the programs prove the
    // images against the table they are built with.
    std::string error;
    if (!writeImageManifest(folder, error)) {
        std::fprintf(stderr, "kdu-mkimage: %s\n", error.c_str());
        return 1;
    }
    if (!withBinding) return 0;
    const std::optional<ImageBinding> binding = image_maker::bindingOf(folder, error);
    if (!binding) {
        std::fprintf(stderr, "kdu-mkimage: %s\n", error.c_str());
        return 1;
    }
    const std::string table = image_maker::bindingTableText(*binding);
    if (!image_maker::writeFileAtomically(argv[3], std::vector<std::uint8_t>(table.begin(), table.end()))) {
        std::fprintf(stderr, "kdu-mkimage: cannot write %s: %s\n", argv[3], std::strerror(errno));
        return 1;
    }
    return 0;
}
