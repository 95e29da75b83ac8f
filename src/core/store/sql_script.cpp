#include "store/sql_script.hpp"

#include <cctype>
#include <map>

#include "store/dialect.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

bool isWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Field names of every table, by upper-case spelling; a spelling shared by two
// differently written names stays as the statement writes it.
const std::map<std::string, std::string>& fieldSpellings(const SchemaCatalogue& catalogue) {
  static const std::map<std::string, std::string> spellings = [&] {
    std::map<std::string, std::string> names;
    std::map<std::string, bool> ambiguous;
    for (const auto& table : catalogue.tables()) {
      for (const auto& field : table.fields()) {
        const auto key = upperAscii(field.name);
        const auto [it, inserted] = names.emplace(key, field.name);
        if (!inserted && it->second != field.name) ambiguous[key] = true;
      }
    }
    for (const auto& [key, flag] : ambiguous) names.erase(key);
    return names;
  }();
  return spellings;
}

// CAST(x AS NUMERIC) names a type after AS, not a result column.
bool isTypeName(const std::string& upper) {
  static const char* const types[] = {"NUMERIC", "DECIMAL", "INTEGER", "INT", "BIGINT", "SMALLINT", "REAL",
                                      "DOUBLE", "FLOAT", "TEXT", "VARCHAR", "CHAR", "DATE", "TIMESTAMP",
                                      "BOOLEAN", "TIME"};
  for (const char* type : types) {
    if (upper == type) return true;
  }
  return false;
}

std::vector<std::string> splitStatements(std::string_view sql) {
  std::vector<std::string> statements;
  std::string current;
  char quote = 0;
  for (char c : sql) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      statements.push_back(current);
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  if (quote != 0) throw InputError("The SQL statement \"" + std::string(sql) + "\" has an unclosed quote.");
  statements.push_back(current);
  std::vector<std::string> nonEmpty;
  for (auto& statement : statements) {
    if (statement.find_first_not_of(" \t\r\n") != std::string::npos) nonEmpty.push_back(std::move(statement));
  }
  return nonEmpty;
}

std::string firstWord(std::string_view statement) {
  std::size_t i = statement.find_first_not_of(" \t\r\n(");
  std::size_t end = i;
  while (end < statement.size() && isWordChar(statement[end])) ++end;
  return i == std::string_view::npos ? std::string{} : upperAscii(statement.substr(i, end - i));
}

std::string translateStatement(const std::string& statement, const SchemaCatalogue& catalogue) {
  const bool creating = firstWord(statement) == "CREATE";
  const auto& spellings = fieldSpellings(catalogue);
  std::string out;
  std::size_t i = 0;
  while (i < statement.size()) {
    const char c = statement[i];
    if (c == '\'') {
      const auto end = statement.find('\'', i + 1);
      out += statement.substr(i, end - i + 1);
      i = end + 1;
      continue;
    }
    if (c == '"') {
      const auto end = statement.find('"', i + 1);
      std::string name = statement.substr(i + 1, end - i - 1);
      if (const auto* table = catalogue.find(name); table != nullptr) {
        name = table->name();
      } else if (const auto found = spellings.find(upperAscii(name)); found != spellings.end()) {
        name = found->second;
      }
      out += Dialect::quoteIdentifier(name);
      i = end + 1;
      continue;
    }
    if (isWordStart(c) && (i == 0 || !isWordChar(statement[i - 1]))) {
      std::size_t end = i;
      while (end < statement.size() && isWordChar(statement[end])) ++end;
      std::string word = statement.substr(i, end - i);
      // QVTRN.adt names the table QVTRN.
      if (end + 4 <= statement.size() && equalsIgnoringCase(statement.substr(end, 4), ".adt") &&
          (end + 4 == statement.size() || !isWordChar(statement[end + 4])))
        end += 4;
      const std::string upper = upperAscii(word);
      const auto before = out.find_last_not_of(" \t\r\n");
      // Result names keep the case they are written in, on every engine.
      if (before != std::string::npos && before >= 2 && upperAscii(out.substr(before - 1, 2)) == "AS" &&
          !isWordChar(out[before - 2]) && catalogue.find(word) == nullptr && !isTypeName(upper)) {
        out += Dialect::quoteIdentifier(word);
        i = end;
        continue;
      }
      const bool columnPosition =
          creating && before != std::string::npos && (out[before] == '(' || out[before] == ',');
      if (const auto found = spellings.find(upper); columnPosition && found != spellings.end()) {
        // A column of CREATE TABLE keeps the catalogue's spelling on every engine.
        out += Dialect::quoteIdentifier(found->second);
      } else if (const auto* table = catalogue.find(word); table != nullptr) {
        out += Dialect::quoteIdentifier(table->name());
      } else if (creating && upper == "CHAR") {
        out += "varchar";
      } else if (creating && upper == "LOGICAL") {
        out += "boolean";
      } else if (creating && upper == "MEMO") {
        out += "text";
      } else if (creating && upper == "DOUBLE") {
        out += "double precision";
      } else if (creating && upper == "IN" && upperAscii(statement.substr(end)).find("DATABASE") ==
                                                  statement.substr(end).find_first_not_of(" \t\r\n")) {
        // "... ) IN DATABASE": the table goes into the practice's dictionary,
        // which is where every table of ours lives anyway.
        break;
      } else {
        out += statement.substr(i, end - i);
      }
      i = end;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

}  // namespace

std::vector<std::string> translateSqlScript(std::string_view sql, const SchemaCatalogue& catalogue) {
  std::vector<std::string> translated;
  for (const auto& statement : splitStatements(sql)) {
    if (firstWord(statement) == "GRANT") continue;
    translated.push_back(translateStatement(statement, catalogue));
  }
  return translated;
}

}  // namespace vantrell::store
