#include "resources/ImageBindingDetail.h"

#include "ShippedImageTable.h"

namespace image_binding_detail {
constinit std::atomic<const ImageBinding*> substitute{nullptr};
}

ImageBinding shippedImageBinding() {
    if (const ImageBinding* substitute = image_binding_detail::substitute.load(std::memory_order_acquire))
        return *substitute;
    return builtImageBinding();
}
