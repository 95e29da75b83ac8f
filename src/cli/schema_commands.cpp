#include <fstream>
#include <iostream>

#include <fmt/format.h>

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
  if (!context.line().practice) throw UsageError("This command needs --practice PATH.");
  return {context.engine(), *context.line().practice};
}

std::string ownerName(const CommandLine& line) { return line.user ? *line.user : "vantrell-cli"; }

}  // namespace

int schemaCommand(Context& context) {
  const CommandLine& line = context.line();
  if (line.verb != "create") throw UsageError("Unknown command \"schema " + line.verb + "\".");
  if (line.arguments.size() != 1) throw UsageError("schema create needs the PATH of the practice.");
  store::Connection::Options options{ownerName(line), nullptr, true};
  auto practice = store::Connection::open({context.engine(), line.arguments[0]}, options);
  app::Application& application = context.application();
  const auto created = store::createMissingTables(*practice, &application.root());
  if (line.json) {
    std::cout << "{\"practice\": " << jsonString(practice->location()) << ", \"created\": [";
    for (std::size_t i = 0; i < created.size(); ++i) std::cout << (i > 0 ? ", " : "") << jsonString(created[i]);
    std::cout << "]}\n";
  } else {
    std::cout << fmt::format("Created {} tables in {}.\n", created.size(), practice->location());
  }
  return done;
}

// A practice with users shows its tables only to a user who may maintain its
// files; without users, security is off.
void guardTables(Context& context) {
  const store::DataLocation location = practiceLocation(context);
  if (!store::Connection::holdsTable(location, "QVSEC")) return;
  auto probe = store::Connection::open(location, {"", nullptr, false});
  if (probe->openTable("QVSEC").count() == 0) return;
  context.openPractice();
  context.require(security::permission_item::fileMaintenance);
}

int tableCommand(Context& context) {
  const CommandLine& line = context.line();
  store::Connection::Options options{ownerName(line), nullptr, false};
  if (line.verb != "import") guardTables(context);
  if (line.verb == "list") {
    auto practice = store::Connection::open(practiceLocation(context), options);
    std::vector<std::tuple<std::string, std::string, std::int64_t>> rows;
    for (const auto& name : practice->tableNames()) {
      const auto* definition = practice->catalogue().find(name);
      if (definition == nullptr) continue;
      rows.emplace_back(definition->name(), definition->description(),
                        practice->openTable(definition->name()).count());
    }
    if (line.json) {
      std::cout << "[";
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [name, description, count] = rows[i];
        std::cout << (i > 0 ? ",\n " : "") << "{\"table\": " << jsonString(name)
                  << ", \"description\": " << jsonString(description) << ", \"rows\": " << count << "}";
      }
      std::cout << "]\n";
    } else {
      for (const auto& [name, description, count] : rows)
        std::cout << fmt::format("{:<10} {:<26} {:>10}\n", name, description, count);
    }
    return done;
  }
  if (line.verb == "export") {
    if (line.arguments.size() != 1) throw UsageError("table export needs the name of a TABLE.");
    auto practice = store::Connection::open(practiceLocation(context), options);
    store::Table table = practice->openTable(line.arguments[0]);
    if (const auto order = line.options.find("--order"); order != line.options.end()) table.setOrder(order->second);
    if (const auto filter = line.options.find("--filter"); filter != line.options.end())
      table.setFilter(filter->second);
    const auto& fields = table.definition().fields();
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) out += (i > 0 ? "," : "") + csvField(fields[i].name);
    std::cout << out << "\r\n";
    table.forEach([&](const store::Record& record) {
      out.clear();
      for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i > 0 ? "," : "") + csvField(store::valueToText(record.value(i)));
      std::cout << out << "\r\n";
    });
    return done;
  }
  if (line.verb == "import") {
    // Code tables through their window's checks, all or nothing.
    if (line.arguments.size() != 2) throw UsageError("table import needs a TABLE and a FILE.csv.");
    const reference::CodeTable* codeTable = nullptr;
    for (const auto& [noun, table] : reference::codeTables()) {
      if (store::equalsIgnoringCase(table->table, store::withoutTableExtension(line.arguments[0]))) codeTable = table;
    }
    if (codeTable == nullptr)
      throw UsageError("Only code tables are imported: " + line.arguments[0] + " is not one of them.");
    std::ifstream file(line.arguments[1], std::ios::binary);
    if (!file) throw UsageError("Cannot read " + line.arguments[1] + ".");
    practice::OpenPractice& open = context.openPractice();
    if (codeTable->newItem >= 0) context.require(codeTable->newItem);
    const auto result =
        reference::importCodes(*open.connection, *codeTable, file, open.security->clock(), open.security.get());
    for (const auto& problem : result.problems)
      std::cerr << fmt::format("{} line {}: {}\n", line.arguments[1], problem.line, problem.message);
    if (!result.problems.empty()) {
      std::cerr << fmt::format("Nothing was imported: {} problems.\n", result.problems.size());
      return refused;
    }
    std::cout << fmt::format("Imported {} rows into {}.\n", result.rows, codeTable->table);
    return done;
  }
  throw UsageError("Unknown command \"table " + line.verb + "\".");
}

}  // namespace vantrell::cli
