// Feeds arbitrary text to the filter and key parsers: every input must either
// translate or be refused with a FilterError or InputError, never crash.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/errors.hpp"
#include "store/schema_catalogue.hpp"
#include "store/sql_expression.hpp"
#include "support/plain_dialect.hpp"

using namespace vantrell::store;
using vantrell::testing::PlainDialect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const PlainDialect dialect;
  static const TableDefinition& table = schemaCatalogue().get("QVTRN");
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const auto sql = filterToSql(table, text, dialect);
    // Values never reach the SQL text: each literal becomes a '?'.
    std::size_t marks = 0;
    for (char c : sql.sql) marks += c == '?' ? 1 : 0;
    if (marks != sql.parameters.size()) __builtin_trap();
  } catch (const InputError&) {
  }
  try {
    keyParts(table, text, dialect);
  } catch (const InputError&) {
  }
  return 0;
}
