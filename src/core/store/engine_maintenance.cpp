#include "store/engine_maintenance.hpp"

#include <unistd.h>

#include "store/dialect.hpp"
#include "store/postgres/postgres_driver.hpp"
#include "store/postgres/server_dump.hpp"
#include "store/sqlite/sqlite_driver.hpp"
#include "store/sqlite/sqlite_file_copy.hpp"

namespace vantrell::store {
namespace {

bool embedded(Connection& practice) {
  return practice.dialect().engineName() == "SQLite";
}

std::string quotedTableList(Connection& practice) {
  std::string list;
  for (const auto& table : practice.tableNames())
    list += (list.empty() ? "" : ", ") + Dialect::quoteIdentifier(table);
  return list;
}

}  // namespace

std::vector<std::string> checkIntegrity(Connection& practice) {
  if (embedded(practice)) return sqliteIntegrityProblems(practice.driver());
  // The server keeps no checksum of its own here: reading every row of every
  // table is what finds a damaged page.
  std::vector<std::string> problems;
  for (const auto& table : practice.tableNames()) {
    try {
      auto rows = practice.driver().query(
          "SELECT count(*) FROM (SELECT * FROM " + Dialect::quoteIdentifier(table) + ") AS t", {});
      rows->next();
    } catch (const StoreError& error) {
      problems.push_back(table + ": " + error.what());
    }
  }
  return problems;
}

void rebuildIndexes(Connection& practice) {
  if (embedded(practice)) {
    practice.driver().executeScript("REINDEX");
    return;
  }
  for (const auto& table : practice.tableNames())
    practice.driver().executeScript("REINDEX TABLE " + Dialect::quoteIdentifier(table));
}

void compactAndAnalyze(Connection& practice) {
  if (embedded(practice)) {
    practice.driver().executeScript("VACUUM");
    practice.driver().executeScript("ANALYZE");
    return;
  }
  const auto tables = quotedTableList(practice);
  if (!tables.empty()) practice.driver().executeScript("VACUUM (ANALYZE) " + tables);
}

std::map<std::string, std::int64_t> rowCounts(Connection& practice) {
  std::map<std::string, std::int64_t> counts;
  for (const auto& table : practice.tableNames()) {
    auto rows =
        practice.driver().query("SELECT count(*) FROM " + Dialect::quoteIdentifier(table), {});
    rows->next();
    const auto value = rows->column(0);
    counts[table] = std::holds_alternative<std::int64_t>(value) ? std::get<std::int64_t>(value) : 0;
  }
  return counts;
}

std::string practiceDataFileName(Engine engine) {
  return engine == Engine::Embedded ? dictionaryFileName : "practice.dump";
}

std::filesystem::path copyPracticeData(const DataLocation& location,
                                       const std::filesystem::path& folder,
                                       const CopyProgress& progress) {
  const auto file = folder / practiceDataFileName(location.engine);
  if (location.engine == Engine::Embedded) {
    copySqliteFile(std::filesystem::path(location.path) / dictionaryFileName, file, false, progress,
                   15000);
  } else {
    if (progress && !progress(0, 1)) throw CopyAborted();
    dumpServerPractice(ServerPractice::parse(location.path), file);
    if (progress && !progress(1, 1)) throw CopyAborted();
  }
  return file;
}

void replacePracticeData(const DataLocation& location, const std::filesystem::path& copy,
                         const std::map<std::string, std::int64_t>& expectedRows,
                         const std::filesystem::path& work) {
  if (location.engine == Engine::Server) {
    restoreServerPractice(ServerPractice::parse(location.path), copy, expectedRows, work);
    return;
  }
  {
    // The copy opened on its own, as a practice of its own, must be sound and
    // hold what the backup said before the practice is touched.
    auto restored = Connection::open({Engine::Embedded, copy.parent_path().string()},
                                     {"Restore check", nullptr, false});
    const auto problems = checkIntegrity(*restored);
    if (!problems.empty())
      throw StoreError("The restored copy fails the integrity check: " + problems.front());
    if (rowCounts(*restored) != expectedRows)
      throw StoreError("The restored copy does not hold the rows of the backup.");
  }
  copySqliteFile(copy, std::filesystem::path(location.path) / dictionaryFileName, true, nullptr,
                 60000);
}

}  // namespace vantrell::store
