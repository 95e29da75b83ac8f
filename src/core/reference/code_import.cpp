#include "reference/code_import.hpp"

#include <stdexcept>

#include "common/csv.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::reference {
namespace {

// Takes the window's messages as a row's problems; answers every question No.
class CollectingPrompter final : public ui::Prompter {
 public:
  void inform(const std::string&) override {}
  void warn(const std::string& text) override { last = text; }
  void error(const std::string& text) override { last = text; }
  bool askYesNo(const std::string&) override { return false; }
  bool askOkCancel(const std::string&) override { return false; }
  int choose(const std::string&, const std::string&, const std::vector<std::string>&) override { return -1; }
  std::optional<std::string> askText(const std::string&, const std::string&) override { return std::nullopt; }
  std::string last;
};

}  // namespace

ImportResult importCodes(store::Connection& practice, const CodeTable& table, std::istream& csv,
                         const ui::Clock& clock, security::Security* security) {
  ImportResult result;
  CsvReader reader(csv);
  const auto& definition = practice.catalogue().get(table.table);
  std::vector<std::string> header;
  try {
    const auto first = reader.next();
    if (!first) {
      result.problems.push_back({1, "The file is empty: a header row of field names is needed."});
      return result;
    }
    header = *first;
  } catch (const std::runtime_error& error) {
    result.problems.push_back({1, error.what()});
    return result;
  }
  bool hasKey = false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    auto& name = header[i];
    name = std::string(store::trimRight(name));
    if (!definition.hasField(name))
      result.problems.push_back({1, "The table " + definition.name() + " has no field named \"" + name + "\"."});
    for (std::size_t earlier = 0; earlier < i; ++earlier) {
      if (store::equalsIgnoringCase(header[earlier], name)) {
        result.problems.push_back({1, "The header names the field \"" + name + "\" twice."});
        break;
      }
    }
    hasKey = hasKey || store::equalsIgnoringCase(name, table.keyField);
  }
  if (!hasKey) result.problems.push_back({1, std::string("The header has no ") + table.keyField + " column."});
  if (!result.problems.empty()) return result;

  CollectingPrompter collector;
  store::Transaction transaction(practice);
  CodeWindow window(practice, table, collector, clock, security);
  for (;;) {
    std::optional<std::vector<std::string>> row;
    try {
      row = reader.next();
    } catch (const std::runtime_error& error) {
      result.problems.push_back({reader.line(), error.what()});
      break;
    }
    if (!row) break;
    if (row->size() == 1 && row->front().empty()) continue;  // a blank line
    if (row->size() != header.size()) {
      result.problems.push_back({reader.line(), "The row has " + std::to_string(row->size()) + " values for " +
                                                    std::to_string(header.size()) + " columns."});
      continue;
    }
    std::vector<std::pair<std::string, std::string>> fields;
    for (std::size_t i = 0; i < header.size(); ++i) {
      // The key first, so what follows from it (Code 2, Code 3) is filled before the rest.
      if (store::equalsIgnoringCase(header[i], table.keyField)) fields.insert(fields.begin(), {header[i], (*row)[i]});
      else fields.emplace_back(header[i], (*row)[i]);
    }
    collector.last.clear();
    if (!window.startNew() || !window.setFields(fields) || !window.save()) {
      result.problems.push_back({reader.line(), collector.last.empty() ? "The row was refused." : collector.last});
      continue;
    }
    ++result.rows;
  }
  if (!result.problems.empty()) {
    result.rows = 0;
    return result;  // the transaction rolls back
  }
  transaction.commit();
  return result;
}

}  // namespace vantrell::reference
