// Binds images a test made itself to their roles, as the build binds the shipped ones:
// while it lives, shippedImageBinding() answers with the binding given last.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "model/ImageBinding.h"

namespace kdu::test {

class ImageBindingSubstitute {
public:
    ImageBindingSubstitute() = default;
    ImageBindingSubstitute(const ImageBindingSubstitute&) = delete;
    ImageBindingSubstitute& operator=(const ImageBindingSubstitute&) = delete;
    ~ImageBindingSubstitute();

    void bind(ImageBinding binding);
    // Binds the images in `folder` as the build binds the shipped ones; throws when one cannot be read.
    void bindImagesIn(const std::filesystem::path& folder);

private:
    // Every binding given stays alive with the substitute: a reader may still be copying one.
    std::vector<std::unique_ptr<const ImageBinding>> bindings_;
};

}  // namespace kdu::test
