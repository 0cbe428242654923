// The one place a binding other than the build's can come from: the test support sets it
// for images a test made itself. No shipped program writes it.
#pragma once

#include <atomic>

#include "model/ImageBinding.h"

namespace image_binding_detail {
extern std::atomic<const ImageBinding*> substitute;
}
