#include "support/ImageBindingSubstitute.h"

#include <stdexcept>

#include "resources/ImageBindingDetail.h"
#include "tools/ImageMaker.h"

namespace kdu::test {

ImageBindingSubstitute::~ImageBindingSubstitute() {
    if (!bindings_.empty()) image_binding_detail::substitute.store(nullptr, std::memory_order_release);
}

void ImageBindingSubstitute::bind(ImageBinding binding) {
    bindings_.push_back(std::make_unique<const ImageBinding>(std::move(binding)));
    image_binding_detail::substitute.store(bindings_.back().get(), std::memory_order_release);
}

void ImageBindingSubstitute::bindImagesIn(const std::filesystem::path& folder) {
    std::string error;
    std::optional<ImageBinding> made = image_maker::bindingOf(folder, error);
    if (!made) throw std::runtime_error(error);
    bind(std::move(*made));
}

}  // namespace kdu::test
