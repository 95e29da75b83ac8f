#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/schema_catalogue.hpp"

namespace vantrell::store {

// Turns SQL written the way the system writes it into statements both engines
// take: table names bare ("QVTRN"), with ".adt" or quoted become the quoted
// catalogue name; quoted field names take the catalogue's spelling; the types of
// CREATE TABLE (Char( n ), Logical, Memo ...) become common ones and a trailing
// IN DATABASE goes; GRANTs to the dictionary groups are dropped (the engines
// here keep rights per login, not per group). Statements split on ';' outside
// quotes. '?' placeholders stay for the engine to bind.
std::vector<std::string> translateSqlScript(std::string_view sql, const SchemaCatalogue& catalogue);

}  // namespace vantrell::store
