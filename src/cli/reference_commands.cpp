#include <iostream>

#include <fmt/format.h>

#include "context.hpp"
#include "output.hpp"
#include "reference/code_window.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::cli {

bool isCodeTableNoun(const std::string& noun) { return reference::findCodeTable(noun) != nullptr; }

int codeTableCommand(Context& context) {
  const CommandLine& line = context.line();
  const reference::CodeTable& table = *reference::findCodeTable(line.noun);
  practice::OpenPractice& open = context.openPractice();
  reference::CodeWindow window(*open.connection, table, context.prompter(), open.security->clock(),
                               open.security.get());
  if (line.verb == "list") {
    if (table.viewItem >= 0) context.require(table.viewItem);
    store::Table rows = open.connection->openTable(table.table);
    rows.setOrder(table.keyTag);
    if (const auto filter = line.options.find("--filter"); filter != line.options.end()) rows.setFilter(filter->second);
    bool first = true;
    if (line.json) std::cout << "[";
    rows.forEach([&](const store::Record& row) {
      if (line.json) {
        std::cout << (first ? "" : ",\n ") << recordJson(row);
      } else {
        const auto& definition = row.table();
        const auto describing = definition.fieldIndex("Description") ? "Description"
                                : definition.fieldIndex("Name")      ? "Name"
                                : definition.fieldIndex("Last Name") ? "Last Name"
                                                                      : table.keyField;
        std::cout << fmt::format("{:<12} {}\n", row.text(table.keyField), row.text(describing));
      }
      first = false;
    });
    if (line.json) std::cout << "]\n";
    return done;
  }
  if (line.arguments.size() != 1) throw UsageError(line.noun + " " + line.verb + " needs the record's code.");
  const std::string& code = line.arguments[0];
  if (line.verb == "show") {
    if (!window.open(code)) throw Refused();
    std::cout << (line.json ? recordJson(window.record()) + "\n" : recordLines(window.record()));
    return done;
  }
  if (line.verb == "add") {
    if (!window.startNew()) throw Refused();
    std::vector<std::pair<std::string, std::string>> fields = {{table.keyField, code}};
    fields.insert(fields.end(), line.fields.begin(), line.fields.end());
    if (!window.setFields(fields) || !window.save()) throw Refused();
    if (line.json) std::cout << recordJson(window.record()) << "\n";
    return done;
  }
  if (line.verb == "edit") {
    if (!window.open(code) || !window.setFields(line.fields) || !window.save()) throw Refused();
    return done;
  }
  if (line.verb == "delete") {
    if (!window.remove(code)) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"" + line.noun + " " + line.verb + "\".");
}

}  // namespace vantrell::cli
