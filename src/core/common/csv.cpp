#include "common/csv.hpp"

#include <stdexcept>

namespace vantrell {

bool isValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) return false;
    }
    i += length;
  }
  return true;
}

std::optional<std::vector<std::string>> CsvReader::next() {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  bool any = false;
  bool ended = false;
  recordLine_ = nextLine_;
  char c = 0;
  while (in_.get(c)) {
    any = true;
    if (quoted) {
      if (c == '"') {
        if (in_.peek() == '"') {
          in_.get(c);
          field.push_back('"');
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++nextLine_;
        field.push_back(c);
      }
      continue;
    }
    if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && in_.peek() == '\n') {
      continue;
    } else if (c == '\n') {
      ++nextLine_;
      fields.push_back(std::move(field));
      ended = true;
      break;
    } else {
      field.push_back(c);
    }
  }
  if (!any) return std::nullopt;
  if (quoted) throw std::runtime_error("Line " + std::to_string(recordLine_) + " has a quote that is not closed.");
  if (!ended) fields.push_back(std::move(field));
  for (const auto& value : fields) {
    if (!isValidUtf8(value))
      throw std::runtime_error("Line " + std::to_string(recordLine_) + " holds a byte that is not UTF-8 text.");
  }
  return fields;
}

}  // namespace vantrell
