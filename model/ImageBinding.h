// Which file holds which firmware image, of what length and SHA-256: what the build made,
// carried inside the program, so that nothing in the resource folder vouches for itself.
#pragma once

#include <cstdint>
#include <string>

struct BoundImage {
    std::string file;  // its name in the resource folder
    std::uint64_t length = 0;
    std::string sha256;  // lower-case hex
};

struct ImageBinding {
    BoundImage kernel;
    BoundImage normal;
};

// The binding this program was built with (resources/ShippedImageBinding.cpp, from the table
// kdu-mkimage writes beside the images it makes).
ImageBinding shippedImageBinding();
