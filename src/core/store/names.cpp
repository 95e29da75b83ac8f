#include "store/names.hpp"

namespace vantrell::store {
namespace {
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upper(c);
  return out;
}

std::string_view withoutTableExtension(std::string_view tableName) {
  if (tableName.size() > 4 && equalsIgnoringCase(tableName.substr(tableName.size() - 4), ".ADT"))
    tableName.remove_suffix(4);
  return tableName;
}

std::string_view trimRight(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

}  // namespace vantrell::store
