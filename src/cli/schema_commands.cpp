#include <fstream>
#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "reference/code_import.hpp"
#include "security/permission_list.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::cli {
namespace {

store::DataLocation practiceLocation(const Context& context) {
  if (!context.globals().practice) throw UsageError("This command needs --practice PATH.");
  return {context.engine(), *context.globals().practice};
}

std::string ownerName(const GlobalOptions& globals) {
  return globals.user ? *globals.user : "vantrell-cli";
}

int createSchema(Context& context, const std::string& path) {
  store::Connection::Options options{ownerName(context.globals()), nullptr, true};
  auto practice = store::Connection::open({context.engine(), path}, options);
  app::Application& application = context.application();
  const auto created = store::createMissingTables(*practice, &application.root());
  if (context.json())
    printJson({{"practice", practice->location()}, {"created", created}});
  else
    std::cout << fmt::format("Created {} tables in {}.\n", created.size(), practice->location());
  return done;
}

// A practice with users shows its tables only to a user who may maintain its
// files; without users, security is off.
void guardTables(Context& context) {
  if (!practiceHasUsers(practiceLocation(context))) return;
  context.openPractice();
  context.require(security::permission_item::fileMaintenance);
}

int listTables(Context& context) {
  guardTables(context);
  auto practice = store::Connection::open(practiceLocation(context),
                                          {ownerName(context.globals()), nullptr, false});
  Json rows = Json::array();
  for (const auto& name : practice->tableNames()) {
    const auto* definition = practice->catalogue().find(name);
    if (definition == nullptr) continue;
    rows.push_back({{"table", definition->name()},
                    {"description", definition->description()},
                    {"rows", practice->openTable(definition->name()).count()}});
  }
  if (context.json()) {
    printJson(rows);
  } else {
    for (const auto& row : rows)
      std::cout << fmt::format("{:<10} {:<26} {:>10}\n", row["table"].get<std::string>(),
                               row["description"].get<std::string>(),
                               row["rows"].get<std::int64_t>());
  }
  return done;
}

struct ExportArguments {
  std::string table;
  std::optional<std::string> order;
  std::optional<std::string> filter;
};

int exportTable(Context& context, const ExportArguments& arguments) {
  guardTables(context);
  auto practice = store::Connection::open(practiceLocation(context),
                                          {ownerName(context.globals()), nullptr, false});
  store::Table table = practice->openTable(arguments.table);
  if (arguments.order) table.setOrder(*arguments.order);
  if (arguments.filter) table.setFilter(*arguments.filter);
  if (context.json()) {
    JsonArrayWriter rows;
    table.forEach([&](const store::Record& record) { rows.add(recordJson(record)); });
    rows.finish();
    return done;
  }
  const auto& fields = table.definition().fields();
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i)
    out += (i > 0 ? "," : "") + csvField(fields[i].name);
  std::cout << out << "\r\n";
  table.forEach([&](const store::Record& record) {
    out.clear();
    for (std::size_t i = 0; i < fields.size(); ++i)
      out += (i > 0 ? "," : "") + csvField(store::valueToText(record.value(i)));
    std::cout << out << "\r\n";
  });
  return done;
}

// Code tables through their window's checks, all or nothing.
int importTable(Context& context, const std::string& tableName, const std::string& fileName) {
  const reference::CodeTable* codeTable = nullptr;
  for (const auto& [noun, table] : reference::codeTables()) {
    if (store::equalsIgnoringCase(table->table, store::withoutTableExtension(tableName)))
      codeTable = table;
  }
  if (codeTable == nullptr)
    throw UsageError("Only code tables are imported: " + tableName + " is not one of them.");
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw UsageError("Cannot read " + fileName + ".");
  practice::OpenPractice& open = context.openPractice();
  if (codeTable->newItem >= 0) context.require(codeTable->newItem);
  const auto result = reference::importCodes(*open.connection, *codeTable, file,
                                             open.security->clock(), open.security.get());
  for (const auto& problem : result.problems)
    std::cerr << fmt::format("{} line {}: {}\n", fileName, problem.line, problem.message);
  if (!result.problems.empty()) {
    std::cerr << fmt::format("Nothing was imported: {} problems.\n", result.problems.size());
    return refused;
  }
  if (context.json())
    printJson({{"table", codeTable->table}, {"imported", result.rows}});
  else
    std::cout << fmt::format("Imported {} rows into {}.\n", result.rows, codeTable->table);
  return done;
}

}  // namespace

void addSchemaCommands(CLI::App& app, Action& chosen) {
  CLI::App* schema = app.add_subcommand("schema", "the tables of a practice");
  auto path = std::make_shared<std::string>();
  CLI::App* create =
      addVerb(schema, "create", "create the missing tables of a practice (again: nothing)");
  create->add_option("PATH", *path, "practice directory, or database/practice with --server")
      ->required();
  onRun(create, chosen, [path](Context& context) { return createSchema(context, *path); });

  CLI::App* table = app.add_subcommand("table", "the tables of the practice given with --practice");
  onRun(addVerb(table, "list", "the tables of the practice with their row counts"), chosen,
        listTables);

  auto exported = std::make_shared<ExportArguments>();
  CLI::App* exportVerb =
      addVerb(table, "export",
              "the rows of a table as CSV with the exact field names (--json: a list of records)");
  exportVerb->add_option("TABLE", exported->table, "table name, with or without .adt")->required();
  exportVerb->add_option_function<std::string>(
      "--order", [exported](const std::string& tag) { exported->order = tag; },
      "index tag to order the rows by");
  exportVerb->add_option_function<std::string>(
      "--filter", [exported](const std::string& filter) { exported->filter = filter; },
      "filter expression, for example \"Last Name = 'Li'\"");
  onRun(exportVerb, chosen,
        [exported](Context& context) { return exportTable(context, *exported); });

  auto imported = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* importVerb = addVerb(
      table, "import",
      "a code table from CSV (header of field names), each row checked as if typed; all or none");
  importVerb->add_option("TABLE", imported->first, "code table, for example QVDIA")->required();
  importVerb->add_option("FILE", imported->second, "CSV file")
      ->required()
      ->check(CLI::ExistingFile);
  onRun(importVerb, chosen, [imported](Context& context) {
    return importTable(context, imported->first, imported->second);
  });
}

}  // namespace vantrell::cli
