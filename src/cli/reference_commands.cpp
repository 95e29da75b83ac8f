#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "reference/code_window.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::cli {
namespace {

struct CodeArguments {
  std::string code;
  Fields fields;
  std::optional<std::string> filter;
};

class CodeCommand {
 public:
  CodeCommand(Context& context, const reference::CodeTable& table)
      : context_(context),
        table_(table),
        open_(context.openPractice()),
        window_(*open_.connection, table, context.prompter(), open_.security->clock(),
                open_.security.get()) {}

  int list(const std::optional<std::string>& filter) {
    if (table_.viewItem >= 0) context_.require(table_.viewItem);
    store::Table rows = open_.connection->openTable(table_.table);
    rows.setOrder(table_.keyTag);
    if (filter) rows.setFilter(*filter);
    if (context_.json()) {
      JsonArrayWriter list;
      rows.forEach([&](const store::Record& row) { list.add(recordJson(row)); });
      list.finish();
      return done;
    }
    rows.forEach([&](const store::Record& row) {
      const auto& definition = row.table();
      const auto describing = definition.fieldIndex("Description") ? "Description"
                              : definition.fieldIndex("Name")      ? "Name"
                              : definition.fieldIndex("Last Name") ? "Last Name"
                                                                   : table_.keyField;
      std::cout << fmt::format("{:<12} {}\n", row.text(table_.keyField), row.text(describing));
    });
    return done;
  }

  int show(const std::string& code) {
    if (!window_.open(code)) throw Refused();
    printRecord(true);
    return done;
  }

  int add(const std::string& code, const Fields& fields) {
    if (!window_.startNew()) throw Refused();
    Fields withKey = {{table_.keyField, code}};
    withKey.insert(withKey.end(), fields.begin(), fields.end());
    if (!window_.setFields(withKey) || !window_.save()) throw Refused();
    printRecord(false);
    return done;
  }

  int edit(const std::string& code, const Fields& fields) {
    if (!window_.open(code) || !window_.setFields(fields) || !window_.save()) throw Refused();
    printRecord(false);
    return done;
  }

  int remove(const std::string& code) {
    if (!window_.remove(code)) throw Refused();
    if (context_.json()) printJson({{"deleted", code}});
    return done;
  }

 private:
  // The record as saved: as JSON with --json, as lines only when asked to show it.
  void printRecord(bool asLines) {
    if (context_.json())
      printJson(recordJson(window_.record()));
    else if (asLines)
      std::cout << recordLines(window_.record());
  }

  Context& context_;
  const reference::CodeTable& table_;
  practice::OpenPractice& open_;
  reference::CodeWindow window_;
};

}  // namespace

void addReferenceCommands(CLI::App& app, Action& chosen) {
  for (const auto& [noun, tablePointer] : reference::codeTables()) {
    const reference::CodeTable* table = tablePointer;
    CLI::App* command = app.add_subcommand(noun, fmt::format("the {} code table", table->table));
    auto arguments = std::make_shared<CodeArguments>();

    CLI::App* list = addVerb(command, "list", "every code in key order");
    list->add_option_function<std::string>(
        "--filter", [arguments](const std::string& filter) { arguments->filter = filter; },
        "filter expression, for example \"Type = 'A'\"");
    onRun(list, chosen, [table, arguments](Context& context) {
      return CodeCommand(context, *table).list(arguments->filter);
    });

    CLI::App* show = addVerb(command, "show", "every field of one code");
    show->add_option("CODE", arguments->code, "the code")->required();
    onRun(show, chosen, [table, arguments](Context& context) {
      return CodeCommand(context, *table).show(arguments->code);
    });

    CLI::App* add = addVerb(command, "add", "a new code, checked as the code window checks it");
    add->add_option("CODE", arguments->code, "the code")->required();
    addFields(add, arguments->fields, "fields of the new code");
    onRun(add, chosen, [table, arguments](Context& context) {
      return CodeCommand(context, *table).add(arguments->code, arguments->fields);
    });

    CLI::App* edit = addVerb(command, "edit", "change a code");
    edit->add_option("CODE", arguments->code, "the code")->required();
    addFields(edit, arguments->fields, "fields to change");
    onRun(edit, chosen, [table, arguments](Context& context) {
      return CodeCommand(context, *table).edit(arguments->code, arguments->fields);
    });

    CLI::App* remove =
        addVerb(command, "delete", "delete a code nothing refers to (after the question)");
    remove->add_option("CODE", arguments->code, "the code")->required();
    onRun(remove, chosen, [table, arguments](Context& context) {
      return CodeCommand(context, *table).remove(arguments->code);
    });
  }
}

}  // namespace vantrell::cli
