// Generates a diagnosis list (70,000 codes) and a fee schedule (10,000
// procedure codes) as CSV, imports both into a fresh practice through the code
// windows' checks, and times a list window's search as you type on the result.
//
//   code_import_bench [DIAGNOSES] [PROCEDURES]

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "reference/code_import.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

using namespace vantrell;


int main(int argc, char** argv) {
  const int diagnoses = argc > 1 ? std::atoi(argv[1]) : 70000;
  const int procedures = argc > 2 ? std::atoi(argv[2]) : 10000;
  const auto directory =
      std::filesystem::temp_directory_path() / fmt::format("vantrell-import-{}", ::getpid());
  std::filesystem::create_directories(directory);

  std::ostringstream diagnosisCsv;
  diagnosisCsv << "Code 1,Description,Approved\r\n";
  for (int i = 0; i < diagnoses; ++i)
    diagnosisCsv << fmt::format("{}{:02}.{:03},\"Condition {}, unspecified site\",true\r\n",
                                static_cast<char>('A' + i % 26), (i / 26) % 100, i / 2600, i);
  std::ostringstream procedureCsv;
  procedureCsv << "Code 1,Description,Type,Insurance Category,Amount A,Amount B,Amount C\r\n";
  for (int i = 0; i < procedures; ++i)
    procedureCsv << fmt::format("{:05},Procedure {},A,A,{}.00,{}.50,{}.25\r\n", 10000 + i, i,
                                40 + i % 200, 30 + i % 150, 20 + i % 100);

  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open({store::Engine::Embedded, directory.string()},
                                          {"bench", &clock, true});
  store::createMissingTables(*practice, nullptr);

  std::istringstream diagnosisInput(diagnosisCsv.str());
  auto start = std::chrono::steady_clock::now();
  const auto diagnosisResult = reference::importCodes(
      *practice, *reference::findCodeTable("diagnosis"), diagnosisInput, clock, nullptr);
  const double diagnosisTime = bench::secondsSince(start);
  std::istringstream procedureInput(procedureCsv.str());
  start = std::chrono::steady_clock::now();
  const auto procedureResult = reference::importCodes(*practice, *reference::findCodeTable("code"),
                                                      procedureInput, clock, nullptr);
  const double procedureTime = bench::secondsSince(start);

  // Search as you type: each keystroke reads the first screenful from the typed prefix.
  store::Table list = practice->openTable("QVDIA");
  double slowest = 0;
  for (const char* typed : {"M", "M4", "M42", "M42.", "M42.0"}) {
    list.setOrder("Primary");
    start = std::chrono::steady_clock::now();
    store::PageCursor cursor(std::vector<store::Value>{store::Value{std::string(typed)}});
    const auto screen = list.nextPage(cursor, 40);
    slowest = std::max(slowest, bench::secondsSince(start));
    (void)screen;
  }
  list.setOrder("Idxdescription");
  start = std::chrono::steady_clock::now();
  store::PageCursor byDescription(
      std::vector<store::Value>{store::Value{std::string("CONDITION 6")}});
  list.nextPage(byDescription, 40);
  slowest = std::max(slowest, bench::secondsSince(start));

  fmt::print("diagnosis codes: {} rows in {:.2f} s ({} problems)\n", diagnosisResult.rows,
             diagnosisTime, diagnosisResult.problems.size());
  fmt::print("procedure codes: {} rows in {:.2f} s ({} problems)\n", procedureResult.rows,
             procedureTime, procedureResult.problems.size());
  fmt::print("slowest search-as-you-type screen: {:.2f} ms\n", slowest * 1000);
  std::filesystem::remove_all(directory);
  return diagnosisResult.problems.empty() && procedureResult.problems.empty() ? 0 : 1;
}
