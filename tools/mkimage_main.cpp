// kdu-mkimage FOLDER: writes the sample kernel and normal firmware images into FOLDER.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr, "usage: kdu-mkimage FOLDER\n"
                     "Writes the sample firmware images %s.%s and %s.%s and their SHA-256 manifest %s into FOLDER.\n",
                     kKernelImageBaseName, kImageExtension, kNormalImageBaseName, kImageExtension, kImageManifestName);
        return argc == 2 ? 0 : 2;
    }
    const std::string folder = argv[1];
    if (!writeImage(folder, kKernelImageBaseName, image_maker::kernelImageSpec()) ||
        !writeImage(folder, kNormalImageBaseName, image_maker::normalImageSpec()))
        return 1;
    // The manifest is what every update proves the images against before it sends a byte.
    std::string error;
    if (!writeImageManifest(folder, error)) {
        std::fprintf(stderr, "kdu-mkimage: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
