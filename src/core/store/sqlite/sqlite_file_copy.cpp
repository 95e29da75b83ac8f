#include "store/sqlite/sqlite_file_copy.hpp"

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

namespace vantrell::store {
namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database openFile(const std::filesystem::path& file, int flags, int busyWaitMilliseconds) {
  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(file.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  Database handle(db);
  if (opened != SQLITE_OK)
    throw StoreError(file.string() + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
  sqlite3_busy_timeout(db, busyWaitMilliseconds);
  return handle;
}

}  // namespace

void copySqliteFile(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool inOneStep, const CopyProgress& progress, int busyWaitMilliseconds) {
  const auto source = openFile(from, SQLITE_OPEN_READONLY, busyWaitMilliseconds);
  const auto target =
      openFile(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyWaitMilliseconds);
  sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
  if (backup == nullptr) throw StoreError(to.string() + ": " + sqlite3_errmsg(target.get()));
  const int pagesPerStep = inOneStep ? -1 : 4096;
  int result = SQLITE_OK;
  bool aborted = false;
  while (result == SQLITE_OK || result == SQLITE_BUSY || result == SQLITE_LOCKED) {
    result = sqlite3_backup_step(backup, pagesPerStep);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
      ::usleep(50000);
      continue;
    }
    if (result != SQLITE_OK) break;
    const int total = sqlite3_backup_pagecount(backup);
    if (progress && !progress(total - sqlite3_backup_remaining(backup), total)) {
      aborted = true;
      break;
    }
  }
  sqlite3_backup_finish(backup);
  if (aborted) throw CopyAborted();
  if (result != SQLITE_DONE) {
    const char* why = sqlite3_errstr(result);
    throw StoreError(to.string() + ": " + why);
  }
}

std::vector<std::string> sqliteIntegrityProblems(Driver& driver) {
  std::vector<std::string> problems;
  auto rows = driver.query("PRAGMA integrity_check", {});
  while (rows->next()) {
    const auto line = rows->column(0);
    const auto* text = std::get_if<std::string>(&line);
    if (text != nullptr && *text != "ok") problems.push_back(*text);
  }
  return problems;
}

}  // namespace vantrell::store
