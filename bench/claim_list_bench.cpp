// The first page of the claim management list over a large claim table, for
// several filters, beside the same page asked of the engine in plain SQL in the
// same run. The list pages by key and never reads the table whole, so its first
// page should cost about what the engine's own LIMIT query costs.
//
//   claim_list_bench [--claims N] [--page P] [--engine sqlite|server] [--server CONNINFO]
//                    [--repeat R] [--analyze] [--keep]
// --analyze gathers the engine's statistics after the claims are made, as a
// maintenance run would; without them SQLite serves a common carrier in any slot
// from the three carrier tags and sorts the matches, instead of walking the
// claims in number order.
// The server defaults to $VANTRELL_TEST_SERVER (a libpq connection string);
// each run makes a schema of its own and drops it at the end.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

using namespace vantrell;

namespace {

double milliseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

struct Arguments {
  std::int64_t claims = 100000;
  std::size_t page = 50;
  int repeat = 7;
  store::Engine engine = store::Engine::Embedded;
  std::string server;
  bool keep = false;
  bool analyze = false;
};

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  if (const char* server = std::getenv("VANTRELL_TEST_SERVER")) arguments.server = server;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", flag.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (flag == "--claims")
      arguments.claims = std::stoll(next());
    else if (flag == "--page")
      arguments.page = static_cast<std::size_t>(std::stoul(next()));
    else if (flag == "--repeat")
      arguments.repeat = std::max(1, std::stoi(next()));
    else if (flag == "--server")
      arguments.server = next();
    else if (flag == "--keep")
      arguments.keep = true;
    else if (flag == "--analyze")
      arguments.analyze = true;
    else if (flag == "--engine") {
      const std::string engine = next();
      if (engine == "sqlite")
        arguments.engine = store::Engine::Embedded;
      else if (engine == "server")
        arguments.engine = store::Engine::Server;
      else {
        std::fprintf(stderr, "--engine is sqlite or server\n");
        std::exit(2);
      }
    } else {
      std::fprintf(stderr, "unknown argument %s\n", flag.c_str());
      std::exit(2);
    }
  }
  if (arguments.engine == store::Engine::Server && arguments.server.empty()) {
    std::fprintf(stderr, "--engine server needs --server or VANTRELL_TEST_SERVER\n");
    std::exit(2);
  }
  return arguments;
}

const std::vector<std::string> carriers = {"MC",  "BC", "AET", "CIG", "UHC",
                                           "HUM", "KP", "TRI", "WC",  "MCD"};

// Claims as years of Create Claims leave them: most slots Sent or Done, one
// carrier on every claim, a second on many, a third on a few.
void makeClaims(store::Connection& practice, std::int64_t count) {
  store::ensureTable(practice, "QVCLA");
  store::Table claims = practice.openTable("QVCLA");
  std::mt19937_64 random(20261206);
  auto pick = [&](std::uint64_t range) { return static_cast<std::int64_t>(random() % range); };
  constexpr std::int64_t perTransaction = 5000;
  for (std::int64_t done = 0; done < count; done += perTransaction) {
    const std::int64_t rows = std::min(perTransaction, count - done);
    store::Transaction transaction(practice);
    claims.expectAppends(static_cast<std::size_t>(rows));
    for (std::int64_t i = 0; i < rows; ++i) {
      store::Record claim = claims.newRecord();
      claim.set("Chart Number", fmt::format("P{:07}", 1 + pick(20000)));
      claim.set("Case Number", std::int64_t{1 + pick(40000)});
      claim.set("Provider", std::string("DR") + std::to_string(1 + pick(5)));
      claim.set("Date Created",
                Date::fromYmd(2020 + static_cast<int>(pick(7)), static_cast<unsigned>(1 + pick(12)),
                              static_cast<unsigned>(1 + pick(28))));
      for (int n = 1; n <= claims::slotCount; ++n) {
        const auto fields = claims::claimSlotFields(n);
        const bool present = n == 1 || (n == 2 && pick(10) < 4) || (n == 3 && pick(10) < 1);
        const std::int64_t roll = pick(100);
        // Old claims are Done or Sent; a few are waiting, held or in trouble.
        const char* status = roll < 55   ? "6"
                             : roll < 85 ? "2"
                             : roll < 92 ? "1"
                             : roll < 95 ? "3"
                             : roll < 97 ? "4"
                                         : "0";
        claim.set(fields.carrier,
                  present ? carriers[static_cast<std::size_t>(pick(10))] : std::string());
        claim.set(fields.status, std::string(present ? status : "6"));
        claim.set(fields.billingMethod, std::string(pick(3) == 0 ? "P" : "E"));
        claim.set(fields.batch, present ? std::int64_t{1 + pick(2000)} : std::int64_t{0});
        if (present && status[0] != '1') claim.set(fields.billingDate, Date::fromYmd(2026, 11, 1));
      }
      claims.append(claim);
    }
    transaction.commit();
  }
}

struct Case {
  const char* name;
  claims::ClaimFilter filter;
};

std::vector<Case> cases() {
  std::vector<Case> list;
  list.push_back({"no filter", {}});
  claims::ClaimFilter filter;
  filter.excludeDone = true;
  list.push_back({"exclude done, all slots", filter});
  filter = {};
  filter.carrier = "HUM";
  filter.excludeDone = true;
  list.push_back({"carrier HUM in any slot, not done", filter});
  filter = {};
  filter.slot = 1;
  filter.status = "4";
  list.push_back({"primary Challenge", filter});
  filter = {};
  filter.slot = 2;
  filter.status = "3";
  filter.billingMethod = "P";
  list.push_back({"secondary Rejected on paper", filter});
  filter = {};
  filter.batch = 1234;
  list.push_back({"batch 1234 in any slot", filter});
  filter = {};
  filter.chartNumber = "P0012345";
  list.push_back({"one chart", filter});
  filter = {};
  filter.carrier = "NONE";
  list.push_back({"no claim matches (whole table)", filter});
  return list;
}

// The first page as the engine gives it for the same condition, written by hand.
std::vector<std::int64_t> sqlFirstPage(store::Connection& practice, const std::string& where,
                                       const std::vector<store::Value>& values, std::size_t page) {
  const auto result = practice.executeSql(
      "SELECT \"Claim Number\" FROM \"QVCLA\"" + (where.empty() ? "" : " WHERE " + where) +
          " ORDER BY \"Claim Number\" LIMIT " + std::to_string(page),
      values);
  std::vector<std::int64_t> numbers;
  for (const auto& row : result.rows) numbers.push_back(std::get<std::int64_t>(row.at(0)));
  return numbers;
}

struct SqlCondition {
  std::string where;
  std::vector<store::Value> values;
};

std::string anySlot(const std::string& stem, const char* comparison) {
  std::string text = "(";
  for (int n = 1; n <= 3; ++n) {
    const auto fields = claims::claimSlotFields(n);
    const std::string field = stem == "carrier"  ? fields.carrier
                              : stem == "status" ? fields.status
                                                 : fields.batch;
    text += (n > 1 ? " OR " : "") + ("\"" + field + "\"") + comparison;
  }
  return text + ")";
}

// The same conditions in plain SQL, for the cross-check and the timing beside.
SqlCondition sqlOf(const claims::ClaimFilter& filter) {
  SqlCondition condition;
  auto add = [&](const std::string& part) {
    condition.where += (condition.where.empty() ? "" : " AND ") + part;
  };
  const bool notDone = filter.excludeDone && filter.status.empty();
  if (!filter.chartNumber.empty()) {
    add("\"Chart Number\" = ?");
    condition.values.emplace_back(filter.chartNumber);
  }
  if (!filter.carrier.empty()) {
    add(anySlot("carrier", " = ?"));
    for (int n = 0; n < 3; ++n) condition.values.emplace_back(filter.carrier);
  }
  if (filter.slot != 0 && !filter.status.empty()) {
    add("\"" + claims::claimSlotFields(filter.slot).status + "\" = ?");
    condition.values.emplace_back(filter.status);
  }
  if (filter.slot != 0 && !filter.billingMethod.empty()) {
    add("\"" + claims::claimSlotFields(filter.slot).billingMethod + "\" = ?");
    condition.values.emplace_back(filter.billingMethod);
  }
  if (filter.batch) {
    add(anySlot("batch", " = ?"));
    for (int n = 0; n < 3; ++n) condition.values.emplace_back(*filter.batch);
  }
  if (notDone) add(anySlot("status", " <> '6'"));
  return condition;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  std::filesystem::path directory;
  store::DataLocation location;
  location.engine = arguments.engine;
  if (arguments.engine == store::Engine::Embedded) {
    directory = std::filesystem::temp_directory_path() /
                fmt::format("vantrell-claim-list-bench-{}", ::getpid());
    std::filesystem::create_directories(directory);
    location.path = directory.string();
  } else {
    ::setenv("VANTRELL_SERVER", arguments.server.c_str(), 1);
    location.path = fmt::format("claim_list_bench_{}", ::getpid());
  }
  ui::FixedClock clock(*DateTime::parse("2026-12-06 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});
  fmt::print("engine {}, {} claims, first page of {} rows, median of {} runs\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.claims, arguments.page, arguments.repeat);
  auto start = std::chrono::steady_clock::now();
  makeClaims(*practice, arguments.claims);
  fmt::print("generated in {:.1f} s\n", milliseconds(start) / 1000);
  if (arguments.analyze) {
    start = std::chrono::steady_clock::now();
    practice->driver().executeScript("ANALYZE");
    fmt::print("statistics gathered in {:.1f} s\n", milliseconds(start) / 1000);
  }
  fmt::print("\n");

  bench::BenchPrompter prompter(false, -1);
  ui::MemorySettings settings;
  bool good = true;
  fmt::print("{:<36}{:>10}{:>10}{:>10}{:>8}\n", "filter", "open ms", "page ms", "SQL ms", "rows");
  for (const auto& [name, filter] : cases()) {
    std::vector<double> openTimes, listTimes, sqlTimes;
    std::vector<std::int64_t> listed, expected;
    const SqlCondition sql = sqlOf(filter);
    for (int run = 0; run < arguments.repeat; ++run) {
      // A fresh window each time: opening the list is part of what a person waits for.
      start = std::chrono::steady_clock::now();
      claims::ClaimList list(*practice, prompter, settings);
      openTimes.push_back(milliseconds(start));
      start = std::chrono::steady_clock::now();
      list.applyFilter(filter);
      const auto page = list.nextPage(arguments.page);
      listTimes.push_back(milliseconds(start));
      listed.clear();
      for (const auto& row : page) listed.push_back(row.claimNumber);
      start = std::chrono::steady_clock::now();
      expected = sqlFirstPage(*practice, sql.where, sql.values, arguments.page);
      sqlTimes.push_back(milliseconds(start));
    }
    fmt::print("{:<36}{:>10.2f}{:>10.2f}{:>10.2f}{:>8}\n", name, median(openTimes),
               median(listTimes), median(sqlTimes), listed.size());
    if (listed != expected) {
      good = false;
      fmt::print("  the list's first page differs from the SQL one ({} against {} rows)\n",
                 listed.size(), expected.size());
    }
  }

  practice.reset();
  if (!arguments.keep) {
    if (arguments.engine == store::Engine::Embedded) {
      std::filesystem::remove_all(directory);
    } else {
      auto cleanup = store::Connection::open(location, {"bench", &clock, false});
      cleanup->driver().executeScript("DROP SCHEMA IF EXISTS \"" + location.path + "\" CASCADE");
    }
  } else {
    fmt::print("practice kept at {}\n", location.path);
  }
  fmt::print("{}\n", good ? "every first page agrees with SQL" : "SOME PAGES DIFFER");
  return good ? 0 : 1;
}
