// Backup and restore of a generated practice: the time each takes and the
// size of the backup beside the size of the practice's data.

#include <chrono>
#include <filesystem>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "maintenance/backup_archive.hpp"
#include "practice_generator.hpp"
#include "store/engine_maintenance.hpp"

using namespace vantrell;

namespace {

double megabytes(std::uintmax_t bytes) {
  return static_cast<double>(bytes) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = bench::parsePracticeBenchArguments(argc, argv);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "backup_bench");
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  std::int64_t rows = 0;
  {
    auto practice = store::Connection::open(location, {"bench", &clock, true});
    fmt::print("engine {}, {} patients, {} ledger lines (seed {})\n",
               arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
               arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
    auto start = std::chrono::steady_clock::now();
    bench::generatePractice(*practice, arguments.shape);
    fmt::print("generated in {:.1f} s\n", bench::secondsSince(start));
    for (const auto& [table, count] : store::rowCounts(*practice)) rows += count;
  }
  const auto folder =
      std::filesystem::temp_directory_path() / ("backup_bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ui::SilentProgress progress;
  auto start = std::chrono::steady_clock::now();
  const auto file = maintenance::backUpPractice(location, folder, clock, progress);
  const double backup = bench::secondsSince(start);
  start = std::chrono::steady_clock::now();
  const auto manifest = maintenance::restorePractice(location, file, progress);
  const double restore = bench::secondsSince(start);
  std::int64_t restoredRows = 0;
  for (const auto& [table, count] : manifest.rows) restoredRows += count;
  fmt::print("{} rows in all\n", rows);
  if (location.engine == store::Engine::Embedded)
    fmt::print(
        "database file {:.1f} MB\n",
        megabytes(std::filesystem::file_size(std::filesystem::path(location.path) / "qvddf.add")));
  fmt::print("backup {:.1f} MB, made in {:.1f} s; restored in {:.1f} s ({} rows)\n",
             megabytes(std::filesystem::file_size(file)), backup, restore, restoredRows);
  std::filesystem::remove_all(folder);
  bench::removeBenchPractice(arguments, location, clock);
  return restoredRows == rows ? 0 : 1;
}
