#include "store/postgres/server_dump.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "store/dialect.hpp"
#include "store/errors.hpp"

namespace vantrell::store {
namespace {

// The server's client programs of the installed version that matches the
// server best: $VANTRELL_PG_BIN, else the newest under /usr/lib/postgresql,
// else the search path.
std::string serverTool(const std::string& name) {
  if (const char* bin = std::getenv("VANTRELL_PG_BIN"); bin != nullptr && *bin != '\0')
    return (std::filesystem::path(bin) / name).string();
  std::vector<std::filesystem::path> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    const auto tool = entry.path() / "bin" / name;
    if (::access(tool.c_str(), X_OK) == 0) found.push_back(tool);
  }
  if (found.empty()) return name;
  std::sort(found.begin(), found.end(), [](const auto& left, const auto& right) {
    const auto version = [](const std::filesystem::path& tool) {
      return std::atoi(tool.parent_path().parent_path().filename().c_str());
    };
    return version(left) < version(right);
  });
  return found.back().string();
}

std::string quotedConnectionValue(const std::string& value) {
  std::string quoted = "'";
  for (const char c : value) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

// VANTRELL_SERVER with the practice's database after it (a later setting wins).
std::string connectionString(const ServerPractice& practice) {
  const char* server = std::getenv("VANTRELL_SERVER");
  std::string text = server != nullptr ? server : "";
  if (!practice.database.empty()) text += " dbname=" + quotedConnectionValue(practice.database);
  return text;
}

// Runs a client program and waits for it; its messages go to `messages`. It
// dies with this process, so a backup program killed part way leaves no
// restore running on without it.
void runTool(const std::vector<std::string>& arguments, const std::filesystem::path& messages) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) throw StoreError("Could not start " + arguments.front());
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int log = ::open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (log >= 0) {
      ::dup2(log, STDOUT_FILENO);
      ::dup2(log, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw StoreError("Lost " + arguments.front());
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  std::ifstream in(messages);
  std::stringstream text;
  text << in.rdbuf();
  std::string detail = text.str();
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
  throw StoreError(std::filesystem::path(arguments.front()).filename().string() + " failed" +
                   (detail.empty() ? std::string(".") : ": " + detail));
}

std::string literal(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// The schema a dump script makes, from its "CREATE SCHEMA name;" line, as a
// plain name.
std::string dumpedSchema(const std::filesystem::path& script) {
  std::ifstream in(script);
  std::string line;
  const std::string prefix = "CREATE SCHEMA ";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0 || line.empty() || line.back() != ';') continue;
    std::string name = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (name.size() >= 2 && name.front() == '"') {
      std::string plain;
      for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        plain += name[i];
        if (name[i] == '"') ++i;
      }
      name = plain;
    }
    return name;
  }
  throw StoreError("The backup holds no practice.");
}

void writeFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::trunc);
  out << text;
  if (!out.flush()) throw StoreError("Could not write " + file.string());
}

}  // namespace

void dumpServerPractice(const ServerPractice& practice, const std::filesystem::path& file) {
  runTool({serverTool("pg_dump"), "--format=custom", "--no-owner", "--no-privileges",
           "--schema=" + Dialect::quoteIdentifier(practice.schema), "--file=" + file.string(),
           "--dbname=" + connectionString(practice)},
          file.string() + ".messages");
  std::filesystem::remove(file.string() + ".messages");
}

void restoreServerPractice(const ServerPractice& practice, const std::filesystem::path& dump,
                           const std::map<std::string, std::int64_t>& expectedRows,
                           const std::filesystem::path& work) {
  const auto script = work / "restore.sql";
  const auto messages = work / "restore.messages";
  runTool({serverTool("pg_restore"), "--no-owner", "--no-privileges", "--file=" + script.string(),
           dump.string()},
          messages);
  const std::string original = dumpedSchema(script);
  const std::string target = practice.schema;
  const std::string suffix = std::to_string(::getpid());
  const std::string old = "vantrell_restore_old_" + suffix;
  const std::string aside = "vantrell_restore_aside_" + suffix;
  const auto renameIfThere = [](const std::string& from, const std::string& to) {
    return "DO $$ BEGIN IF EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = " + literal(from) +
           ") THEN EXECUTE format('ALTER SCHEMA %I RENAME TO %I', " + literal(from) + ", " +
           literal(to) + "); END IF; END $$;\n";
  };
  std::string before = renameIfThere(target, old);
  if (original != target) before += renameIfThere(original, aside);
  std::string after;
  if (original != target) {
    after += "ALTER SCHEMA " + Dialect::quoteIdentifier(original) + " RENAME TO " +
             Dialect::quoteIdentifier(target) + ";\n";
    after += renameIfThere(aside, original);
  }
  // The restored copy must hold what the backup said, table by table, before
  // the practice as it was is let go.
  after += "DO $$ BEGIN IF (SELECT count(*) FROM pg_tables WHERE schemaname = " + literal(target) +
           ") <> " + std::to_string(expectedRows.size()) +
           " THEN RAISE EXCEPTION 'The restored practice does not hold the tables of the backup.'; "
           "END IF; END $$;\n";
  for (const auto& [table, rows] : expectedRows) {
    after += "DO $$ BEGIN IF (SELECT count(*) FROM " + Dialect::quoteIdentifier(target) + "." +
             Dialect::quoteIdentifier(table) + ") <> " + std::to_string(rows) +
             " THEN RAISE EXCEPTION " +
             literal("The restored table " + table + " does not hold the rows of the backup.") +
             "; END IF; END $$;\n";
  }
  after += "DROP SCHEMA IF EXISTS " + Dialect::quoteIdentifier(old) + " CASCADE;\n";
  const auto beforeFile = work / "restore-before.sql";
  const auto afterFile = work / "restore-after.sql";
  writeFile(beforeFile, before);
  writeFile(afterFile, after);
  runTool({serverTool("psql"), "--no-psqlrc", "--quiet", "--single-transaction",
           "--set=ON_ERROR_STOP=1", "--dbname=" + connectionString(practice),
           "--file=" + beforeFile.string(), "--file=" + script.string(),
           "--file=" + afterFile.string()},
          messages);
}

}  // namespace vantrell::store
