#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vantrell {

// The length in bytes of the well-formed UTF-8 character that text starts
// with, or 0 when it starts with none (overlong forms, surrogates and values
// past U+10FFFF are not well-formed; nor is an empty text).
std::size_t utf8CharacterLength(std::string_view text);

// Where the first byte that is not well-formed UTF-8 lies, or no value.
std::optional<std::size_t> firstInvalidUtf8(std::string_view text);

inline bool isValidUtf8(std::string_view text) { return !firstInvalidUtf8(text).has_value(); }

}  // namespace vantrell
