#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vantrell {

// Where the first byte that is not well-formed UTF-8 lies (overlong forms,
// surrogates and values past U+10FFFF are not well-formed), or no value.
std::optional<std::size_t> firstInvalidUtf8(std::string_view text);

inline bool isValidUtf8(std::string_view text) { return !firstInvalidUtf8(text).has_value(); }

}  // namespace vantrell
