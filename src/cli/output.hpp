#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "common/money.hpp"
#include "store/record.hpp"

namespace vantrell::cli {

// Objects keep their members in the order they were added (a record's fields
// in stored order).
using Json = nlohmann::ordered_json;

std::string csvField(const std::string& text);
// Money as a JSON number: whole amounts as integers, the rest with up to four decimals.
Json moneyJson(Money amount);
// A record as a JSON object of every field, in stored order: numbers and
// logicals as JSON values, empty values as null, the rest as strings.
Json recordJson(const store::Record& record);
// A record as "Field: value" lines.
std::string recordLines(const store::Record& record);

// JSON text on one line with a blank after each ',' and ':'; the elements of a
// top-level array each on a line of their own. Text that is not valid UTF-8
// has the bad bytes replaced (U+FFFD), so the output always is.
std::string jsonText(const Json& value);
// Prints jsonText(value) and a line break.
void printJson(const Json& value);

// A JSON array on standard output, written element by element for lists too
// long to hold at once, in the layout of jsonText.
class JsonArrayWriter {
 public:
  JsonArrayWriter();
  void add(const Json& element);
  // Closes the array; a list cut short by an error stays unclosed.
  void finish();

 private:
  bool first_ = true;
};

}  // namespace vantrell::cli
