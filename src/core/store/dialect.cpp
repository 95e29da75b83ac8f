#include "store/dialect.hpp"

namespace vantrell::store {

std::string Dialect::quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string Dialect::quoteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  out.push_back('\'');
  return out;
}

std::string Dialect::indexName(std::string_view table, std::string_view tag) {
  return std::string(table) + ":" + std::string(tag);
}

}  // namespace vantrell::store
