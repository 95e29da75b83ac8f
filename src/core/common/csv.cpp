#include "common/csv.hpp"

#include <stdexcept>
#include <string_view>

#include "common/utf8.hpp"

namespace vantrell {

std::optional<std::vector<std::string>> CsvReader::next() {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  bool any = false;
  bool ended = false;
  recordLine_ = nextLine_;
  if (!started_) {
    started_ = true;
    static constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
    if (in_.peek() == static_cast<unsigned char>(byteOrderMark[0])) {
      char mark[3] = {};
      in_.read(mark, 3);
      if (in_.gcount() != 3 || std::string_view(mark, 3) != std::string_view(byteOrderMark, 3)) {
        in_.clear();
        for (auto k = in_.gcount(); k > 0; --k) in_.unget();
      }
    }
  }
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
  for (std::size_t column = 0; column < fields.size(); ++column) {
    const auto& value = fields[column];
    const auto where = "Line " + std::to_string(recordLine_) + ", column " + std::to_string(column + 1);
    if (value.find('\0') != std::string::npos) throw std::runtime_error(where + " holds a NUL character.");
    if (!isValidUtf8(value)) throw std::runtime_error(where + " holds a byte that is not UTF-8 text.");
  }
  return fields;
}

std::string csvRecord(const std::vector<std::string>& fields) {
  std::string out;
  for (std::size_t index = 0; index < fields.size(); ++index) {
    if (index > 0) out.push_back(',');
    const std::string& field = fields[index];
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
      out += field;
      continue;
    }
    out.push_back('"');
    for (const char c : field) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
    out.push_back('"');
  }
  return out + "\r\n";
}

}  // namespace vantrell
