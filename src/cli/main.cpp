#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command_line.hpp"
#include "store/connection.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "ui/settings.hpp"

namespace vantrell::cli {
namespace {

constexpr const char* usageText = R"(Usage: vantrell-cli [--root DIR] [--practice PATH] [--server] [--user CODE --password PW]
                    [--yes] [--json] NOUN VERB [ARGS] [FIELD=VALUE ...]

Global options may stand anywhere on the line.
  --root DIR        root data directory (practice list, users in the program)
  --practice PATH   practice directory; with --server, database/practice on the server
  --server, CS      use the database server (VANTRELL_SERVER holds its connection string)
  --yes             answer Yes to the system's questions
  --json            print results as JSON

Commands:
  schema create PATH          create the missing tables of a practice (idempotent)
  table list                  the tables of the practice with their row counts
  table export TABLE          the rows of a table as CSV with the exact field names

Exit codes: 0 done, 1 refused by a rule of the system, 2 usage error, 3 engine or file failure.
)";

std::string defaultRootDirectory() {
  ui::IniSettings settings(ui::IniSettings::defaultFile());
  if (auto root = settings.read("Software\\Vantrell", "Root Data Path")) return *root;
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = data != nullptr && *data != '\0'
                                         ? std::filesystem::path(data)
                                         : std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  return (base / "vantrell" / "Data").string();
}

std::string ownerName(const CommandLine& line) {
  if (line.user) return *line.user;
  const char* login = std::getenv("USER");
  return login != nullptr ? login : "vantrell-cli";
}

store::DataLocation practiceLocation(const CommandLine& line) {
  if (!line.practice) throw UsageError("This command needs --practice PATH.");
  return {line.server ? store::Engine::Server : store::Engine::Embedded, *line.practice};
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) out += fmt::format("\\u{:04x}", static_cast<int>(c));
        else out.push_back(c);
    }
  }
  return out + "\"";
}

int schemaCreate(const CommandLine& line) {
  if (line.arguments.size() != 1) throw UsageError("schema create needs the PATH of the practice.");
  const store::Engine engine = line.server ? store::Engine::Server : store::Engine::Embedded;
  store::Connection::Options options{ownerName(line), nullptr, true};
  auto practice = store::Connection::open({engine, line.arguments[0]}, options);
  const std::string rootPath = line.root ? *line.root : (line.server ? "vantrell_root" : defaultRootDirectory());
  auto root = store::Connection::open({engine, rootPath}, options);
  const auto created = store::createMissingTables(*practice, root.get());
  if (line.json) {
    std::cout << "{\"practice\": " << jsonString(practice->location()) << ", \"created\": [";
    for (std::size_t i = 0; i < created.size(); ++i) std::cout << (i > 0 ? ", " : "") << jsonString(created[i]);
    std::cout << "]}\n";
  } else {
    std::cout << fmt::format("Created {} tables in {}.\n", created.size(), practice->location());
  }
  return done;
}

int tableList(const CommandLine& line) {
  store::Connection::Options options{ownerName(line), nullptr, false};
  auto practice = store::Connection::open(practiceLocation(line), options);
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

int tableExport(const CommandLine& line) {
  if (line.arguments.size() != 1) throw UsageError("table export needs the name of a TABLE.");
  store::Connection::Options options{ownerName(line), nullptr, false};
  auto practice = store::Connection::open(practiceLocation(line), options);
  store::Table table = practice->openTable(line.arguments[0]);
  if (const auto order = line.options.find("--order"); order != line.options.end())
    table.setOrder(order->second);
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

int run(const CommandLine& line) {
  if (line.help || line.noun.empty()) {
    std::cout << usageText;
    return line.help ? done : usageError;
  }
  if (line.noun == "schema" && line.verb == "create") return schemaCreate(line);
  if (line.noun == "table" && line.verb == "list") return tableList(line);
  if (line.noun == "table" && line.verb == "export") return tableExport(line);
  throw UsageError(fmt::format("Unknown command \"{} {}\". Try vantrell-cli --help.", line.noun, line.verb));
}

}  // namespace
}  // namespace vantrell::cli

int main(int argc, char** argv) {
  using namespace vantrell;
  try {
    const auto line = cli::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    return cli::run(line);
  } catch (const cli::UsageError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::InputError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::RecordInUseError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::DuplicateKeyError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::ConnectionError& error) {
    std::cerr << error.what() << '\n' << error.location() << ": " << error.detail() << '\n';
    return cli::engineFailure;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return cli::engineFailure;
  }
}
