// Validation of UTF-8 text read from drives and image files.
#pragma once

#include <string_view>

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);
