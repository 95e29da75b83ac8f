#include "common/utf8.hpp"

namespace vantrell {

std::optional<std::size_t> firstInvalidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte, narrowed for the lead bytes
    unsigned char high = 0xBF;  // whose sequences would be overlong, surrogates or too large
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (i + length > text.size()) return i;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return i;
    for (std::size_t k = 2; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) return i;
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace vantrell
