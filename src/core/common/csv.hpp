#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {

// Reads CSV as RFC 4180 writes it: fields separated by commas, quoted with
// double quotes when they hold commas, quotes or line breaks ("" is a quote),
// records ended by CRLF or LF. Every field must be UTF-8 without NUL
// characters; a byte-order mark before the first record is skipped, as many
// spreadsheet programs write one.
class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(in) {}
  // The next record, or no value at the end. Throws std::runtime_error naming
  // the line for an unclosed quote, a NUL character or a byte that is not UTF-8.
  std::optional<std::vector<std::string>> next();
  // The line the last record started on (1 for the first).
  int line() const { return recordLine_; }

 private:
  std::istream& in_;
  int nextLine_ = 1;
  int recordLine_ = 0;
  bool started_ = false;
};

// One record as RFC 4180 writes it, ended by CRLF: a field is quoted only when
// it holds a comma, a quote or a line break.
std::string csvRecord(const std::vector<std::string>& fields);

}  // namespace vantrell
