#include "reference/code_import.hpp"

#include <set>
#include <stdexcept>

#include "common/csv.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::reference {
namespace {

// Takes the window's messages as a row's problems; answers every question No.
class CollectingPrompter final : public ui::Prompter {
 public:
  int choose(const std::string&, const std::string&, const std::vector<std::string>&) override {
    return -1;
  }
  std::optional<std::string> askText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::string last;

 protected:
  void say(Severity severity, const std::string&, const std::string& text) override {
    if (severity != Severity::Information) last = text;
  }
  bool ask(Question, const std::string&, const std::string&) override { return false; }
};

}  // namespace

ImportResult importCodes(store::Connection& practice, const CodeTable& table, std::istream& csv,
                         const ui::Clock& clock, security::Security* security,
                         ui::Progress* progress) {
  ui::SilentProgress silent;
  ui::Progress& shown = progress != nullptr ? *progress : silent;
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
      result.problems.push_back(
          {1, "The table " + definition.name() + " has no field named \"" + name + "\"."});
    for (std::size_t earlier = 0; earlier < i; ++earlier) {
      if (store::equalsIgnoringCase(header[earlier], name)) {
        result.problems.push_back({1, "The header names the field \"" + name + "\" twice."});
        break;
      }
    }
    hasKey = hasKey || store::equalsIgnoringCase(name, table.keyField);
  }
  if (!hasKey)
    result.problems.push_back({1, std::string("The header has no ") + table.keyField + " column."});
  if (!result.problems.empty()) return result;

  // Each row is checked by the code window in a transaction of a chunk of rows
  // that is rolled back, so the practice is held for a moment at a time while
  // the file is read; what the window made of the rows is kept here and put in
  // at the end in one short transaction: all of it or nothing.
  CollectingPrompter collector;
  std::vector<store::Record> staged;
  std::set<std::string> keys;  // the file's codes so far, upper case
  std::vector<int> stagedLines;
  bool ended = false;
  std::int64_t read = 0;
  shown.begin("Importing " + definition.name(), 0);
  while (!ended) {
    store::Transaction checking(practice);
    CodeWindow window(practice, table, collector, clock, security);
    for (int inChunk = 0; inChunk < importChunkRows;) {
      std::optional<std::vector<std::string>> row;
      try {
        row = reader.next();
      } catch (const std::runtime_error& error) {
        result.problems.push_back({reader.line(), error.what()});
        ended = true;
        break;
      }
      if (!row) {
        ended = true;
        break;
      }
      if (row->size() == 1 && row->front().empty()) continue;  // a blank line
      ++inChunk;
      ++read;
      if (row->size() != header.size()) {
        result.problems.push_back({reader.line(), "The row has " + std::to_string(row->size()) +
                                                      " values for " +
                                                      std::to_string(header.size()) + " columns."});
        continue;
      }
      std::vector<std::pair<std::string, std::string>> fields;
      for (std::size_t i = 0; i < header.size(); ++i) {
        // The key first, so what follows from it (Code 2, Code 3) is filled before the rest.
        if (store::equalsIgnoringCase(header[i], table.keyField))
          fields.insert(fields.begin(), {header[i], (*row)[i]});
        else
          fields.emplace_back(header[i], (*row)[i]);
      }
      collector.last.clear();
      if (!window.startNew() || !window.setFields(fields)) {
        result.problems.push_back(
            {reader.line(), collector.last.empty() ? "The row was refused." : collector.last});
        continue;
      }
      // An earlier chunk's rows are no longer in the table: the file's own codes are kept here.
      const std::string code = window.record().text(table.keyField);
      if (!code.empty() && keys.count(store::upperAscii(code)) != 0) {
        result.problems.push_back({reader.line(), table.duplicate(code)});
        continue;
      }
      if (!window.save()) {
        result.problems.push_back(
            {reader.line(), collector.last.empty() ? "The row was refused." : collector.last});
        continue;
      }
      keys.insert(store::upperAscii(code));
      if (result.problems.empty()) {
        staged.push_back(window.record());
        stagedLines.push_back(reader.line());
      }
      ++result.rows;
    }
    checking.rollback();
    // Between chunks the practice is free for the other workstations.
    if (!ended && !shown.advance(read)) {
      shown.end();
      result.problems.push_back({reader.line(), "The import was aborted; nothing was kept."});
      result.rows = 0;
      return result;
    }
  }
  shown.end();
  if (!result.problems.empty()) {
    result.rows = 0;
    return result;
  }
  store::Transaction transaction(practice);
  store::Table rows = practice.openTable(table.table);
  for (std::size_t i = 0; i < staged.size(); ++i) {
    auto& record = staged[i];
    try {
      rows.append(record);
    } catch (const store::DuplicateKeyError&) {
      // Another workstation saved the same code while the file was read.
      result.problems.push_back({stagedLines[i], table.duplicate(record.text(table.keyField))});
      result.rows = 0;
      return result;  // the transaction rolls back
    }
  }
  transaction.commit();
  return result;
}

}  // namespace vantrell::reference
