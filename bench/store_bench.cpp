// The store layer against the engine's raw C API (SQLite's, or libpq on the
// server) doing the same work on the same ledger: inserting QVTRN rows in one
// transaction, seeking random keys on the Primary tag, reading ranges on
// Idxchartdate, and a filtered count. Prints each time and the ratio layer/raw.
//
//   store_bench [--engine sqlite|server] [--server CONNINFO] [--rounds N] [ROWS] [SEEKS]
//     (defaults 1000000 and 100000; the server defaults to $VANTRELL_TEST_SERVER)
//     Raw and layer alternate for N rounds (default 3) and the medians are compared.

#include <libpq-fe.h>
#include <sqlite3.h>
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
#include "store/connection.hpp"
#include "store/dialect.hpp"
#include "store/sql_expression.hpp"
#include "store/sqlite/sqlite_driver.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

using namespace vantrell;
using namespace vantrell::store;

namespace {

constexpr int patients = 20000;

// The synthetic ledger: row i belongs to a fixed patient and case and has a
// fixed date, so both sides write and look up exactly the same rows.
struct Line {
  std::string chart;
  std::int64_t caseNumber;
  std::string date;
  double amount;
  std::string type;
};

Line lineFor(std::int64_t i) {
  const auto patient = (i * 7919) % patients;
  Line line;
  line.chart = fmt::format("P{:07}", patient);
  line.caseNumber = patient * 2 + (i % 2) + 1;
  const auto day =
      std::chrono::sys_days{std::chrono::year{2024} / 1 / 1} + std::chrono::days{(i * 37) % 730};
  line.date = Date(std::chrono::year_month_day{day}).toIso();
  line.amount = static_cast<double>((i * 13) % 20000) / 100.0;
  line.type = (i % 4 == 3) ? "M" : "A";
  return line;
}

struct Timings {
  double insert = 0, seek = 0, range = 0, count = 0;
  std::int64_t rangeRows = 0, counted = 0;
};

const char* countFilter =
    "Transaction Type = 'A' AND Amount > 50 AND Date From >= CTOD('06/01/2025')";

Timings runLayer(const DataLocation& location, std::int64_t rows,
                 const std::vector<std::int64_t>& seeks, const std::vector<std::string>& charts) {
  Timings t;
  auto connection = Connection::open(location, {"bench", nullptr, true});
  ensureTable(*connection, "QVTRN");
  Table ledger = connection->openTable("QVTRN");
  auto start = std::chrono::steady_clock::now();
  {
    Transaction transaction(*connection);
    // One save of many rows, as a batch run makes it.
    ledger.expectAppends(static_cast<std::size_t>(rows));
    const FieldRef chart(ledger.definition(), "Chart Number"),
        caseNumber(ledger.definition(), "Case Number"), date(ledger.definition(), "Date From"),
        amount(ledger.definition(), "Amount"), type(ledger.definition(), "Transaction Type"),
        description(ledger.definition(), "Description");
    for (std::int64_t i = 0; i < rows; ++i) {
      const Line line = lineFor(i);
      Record record = ledger.newRecord();
      record.set(chart, line.chart);
      record.set(caseNumber, line.caseNumber);
      record.set(date, *Date::parse(line.date));
      record.set(amount, line.amount);
      record.set(type, line.type);
      record.set(description, std::string("Office visit"));
      ledger.append(record);
    }
    transaction.commit();
  }
  t.insert = bench::secondsSince(start);

  ledger.setOrder("Primary");
  start = std::chrono::steady_clock::now();
  std::int64_t found = 0;
  for (const auto entry : seeks) {
    const Line line = lineFor(entry - 1);
    if (ledger.seek({Value{line.chart}, Value{line.caseNumber}, Value{entry}})) ++found;
  }
  t.seek = bench::secondsSince(start);
  if (found != static_cast<std::int64_t>(seeks.size()))
    std::fprintf(stderr, "layer: %lld seeks missed\n",
                 static_cast<long long>(static_cast<std::int64_t>(seeks.size()) - found));

  ledger.setOrder("Idxchartdate");
  start = std::chrono::steady_clock::now();
  for (const auto& chartNumber : charts) {
    ledger.setRange({Value{chartNumber}}, {Value{chartNumber}});
    ledger.forEach([&](const Record&) { ++t.rangeRows; });
  }
  t.range = bench::secondsSince(start);

  ledger.cancelRange();
  ledger.setFilter(countFilter);
  start = std::chrono::steady_clock::now();
  t.counted = ledger.count();
  t.count = bench::secondsSince(start);
  return t;
}

void check(int result, sqlite3* db, const char* what) {
  if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The same work with nothing but the C API: one prepared statement per kind of
// work, every column bound on insert and read on seek, as the layer does.
Timings runRaw(const std::filesystem::path& directory, std::int64_t rows,
               const std::vector<std::int64_t>& seeks, const std::vector<std::string>& charts) {
  Timings t;
  // The table itself is made by the layer's creation, so both sides work on the same layout.
  {
    auto connection =
        Connection::open({Engine::Embedded, directory.string()}, {"bench", nullptr, true});
    ensureTable(*connection, "QVTRN");
  }
  const auto& table = schemaCatalogue().get("QVTRN");
  sqlite3* db = nullptr;
  check(sqlite3_open((directory / "qvddf.add").c_str(), &db), db, "open");
  check(sqlite3_exec(db, sqliteSessionSettings, nullptr, nullptr, nullptr), db, "pragma");
  std::string columns, marks, all = "rowid";
  for (const auto& field : table.fields()) {
    all += ", " + Dialect::quoteIdentifier(field.name);
    if (field.type == FieldType::AutoIncrement) continue;
    columns += (columns.empty() ? "" : ", ") + Dialect::quoteIdentifier(field.name);
    marks += marks.empty() ? "?" : ", ?";
  }
  sqlite3_stmt* insert = nullptr;
  const std::string insertSql = "INSERT INTO \"QVTRN\" (" + columns + ") VALUES (" + marks + ")";
  check(sqlite3_prepare_v2(db, insertSql.c_str(), -1, &insert, nullptr), db, "prepare insert");
  auto start = std::chrono::steady_clock::now();
  check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
  const std::string today = "2026-12-05", now = "2026-12-05 10:00:00";
  for (std::int64_t i = 0; i < rows; ++i) {
    const Line line = lineFor(i);
    sqlite3_reset(insert);
    int position = 0;
    for (const auto& field : table.fields()) {
      if (field.type == FieldType::AutoIncrement) continue;
      ++position;
      const auto& name = field.name;
      if (name == "Chart Number")
        sqlite3_bind_text(insert, position, line.chart.c_str(), -1, SQLITE_TRANSIENT);
      else if (name == "Case Number")
        sqlite3_bind_int64(insert, position, line.caseNumber);
      else if (name == "Date From")
        sqlite3_bind_text(insert, position, line.date.c_str(), -1, SQLITE_TRANSIENT);
      else if (name == "Amount")
        sqlite3_bind_double(insert, position, line.amount);
      else if (name == "Transaction Type")
        sqlite3_bind_text(insert, position, line.type.c_str(), -1, SQLITE_TRANSIENT);
      else if (name == "Description")
        sqlite3_bind_text(insert, position, "Office visit", -1, SQLITE_STATIC);
      else if (name == "Date Modified")
        sqlite3_bind_text(insert, position, now.c_str(), -1, SQLITE_STATIC);
      else if (name == "Date Created")
        sqlite3_bind_text(insert, position, today.c_str(), -1, SQLITE_STATIC);
      else if (field.type == FieldType::Character || field.type == FieldType::Memo)
        sqlite3_bind_text(insert, position, "", 0, SQLITE_STATIC);
      else
        sqlite3_bind_null(insert, position);
    }
    check(sqlite3_step(insert), db, "insert");
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  t.insert = bench::secondsSince(start);
  sqlite3_finalize(insert);

  // A program that reads a row keeps its values: text is copied out of the
  // statement, numbers are read, as the layer's records do.
  std::vector<std::string> texts(static_cast<std::size_t>(table.fields().size() + 1));
  std::vector<double> numbers(texts.size());
  const auto readAll = [&](sqlite3_stmt* statement) {
    const int count = sqlite3_column_count(statement);
    for (int c = 0; c < count; ++c) {
      const auto slot = static_cast<std::size_t>(c);
      switch (sqlite3_column_type(statement, c)) {
        case SQLITE_TEXT:
          texts[slot].assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                             static_cast<std::size_t>(sqlite3_column_bytes(statement, c)));
          break;
        case SQLITE_INTEGER:
          numbers[slot] = static_cast<double>(sqlite3_column_int64(statement, c));
          break;
        case SQLITE_FLOAT:
          numbers[slot] = sqlite3_column_double(statement, c);
          break;
        default:
          texts[slot].clear();
          break;
      }
    }
  };
  sqlite3_stmt* seek = nullptr;
  const std::string seekSql =
      "SELECT " + all +
      " FROM \"QVTRN\" WHERE \"Chart Number\" = ? AND \"Case Number\" = ? AND \"Entry Number\" = ? "
      "ORDER BY \"Chart Number\", \"Case Number\", \"Entry Number\", \"Tooth Number\", rowid LIMIT "
      "1";
  check(sqlite3_prepare_v2(db, seekSql.c_str(), -1, &seek, nullptr), db, "prepare seek");
  start = std::chrono::steady_clock::now();
  for (const auto entry : seeks) {
    const Line line = lineFor(entry - 1);
    sqlite3_reset(seek);
    sqlite3_bind_text(seek, 1, line.chart.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(seek, 2, line.caseNumber);
    sqlite3_bind_int64(seek, 3, entry);
    if (sqlite3_step(seek) == SQLITE_ROW) readAll(seek);
  }
  t.seek = bench::secondsSince(start);
  sqlite3_finalize(seek);

  sqlite3_stmt* range = nullptr;
  const std::string rangeSql =
      "SELECT " + all +
      " FROM \"QVTRN\" WHERE UPPER(\"Chart Number\") = ? "
      "ORDER BY UPPER(\"Chart Number\"), COALESCE(\"Date From\", ''), rowid";
  check(sqlite3_prepare_v2(db, rangeSql.c_str(), -1, &range, nullptr), db, "prepare range");
  start = std::chrono::steady_clock::now();
  for (const auto& chartNumber : charts) {
    sqlite3_reset(range);
    sqlite3_bind_text(range, 1, chartNumber.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(range) == SQLITE_ROW) {
      readAll(range);
      ++t.rangeRows;
    }
  }
  t.range = bench::secondsSince(start);
  sqlite3_finalize(range);

  sqlite3_stmt* count = nullptr;
  check(sqlite3_prepare_v2(
            db,
            "SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Transaction Type\" = 'A' AND \"Amount\" > 50 "
            "AND \"Date From\" >= '2025-06-01'",
            -1, &count, nullptr),
        db, "prepare count");
  start = std::chrono::steady_clock::now();
  sqlite3_step(count);
  t.counted = sqlite3_column_int64(count, 0);
  t.count = bench::secondsSince(start);
  sqlite3_finalize(count);
  sqlite3_close(db);
  return t;
}

// --- The server through libpq alone ------------------------------------

PGresult* checked(PGconn* db, PGresult* result, const char* what) {
  const auto status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "%s: %s\n", what, PQresultErrorMessage(result));
    PQclear(result);
    PQfinish(db);
    std::exit(1);
  }
  return result;
}

void run(PGconn* db, const std::string& sql) {
  PQclear(checked(db, PQexec(db, sql.c_str()), sql.c_str()));
}

// The same work with nothing but libpq: prepared statements, the inserts sent
// in a pipeline (the fastest plain way to write many rows one statement each),
// every column read as text and kept, as a program would.
Timings runRawServer(const std::string& server, const std::string& schema, std::int64_t rows,
                     const std::vector<std::int64_t>& seeks,
                     const std::vector<std::string>& charts) {
  Timings t;
  {
    auto connection = Connection::open({Engine::Server, schema}, {"bench", nullptr, true});
    ensureTable(*connection, "QVTRN");
  }
  const auto& table = schemaCatalogue().get("QVTRN");
  PGconn* db = PQconnectdb(server.c_str());
  if (PQstatus(db) != CONNECTION_OK) {
    std::fprintf(stderr, "connect: %s\n", PQerrorMessage(db));
    std::exit(1);
  }
  run(db, "SET DateStyle = ISO; SET search_path TO " + Dialect::quoteIdentifier(schema));
  std::string columns, marks, all = "ctid";
  int count = 0;
  for (const auto& field : table.fields()) {
    all += ", " + Dialect::quoteIdentifier(field.name);
    if (field.type == FieldType::AutoIncrement) continue;
    columns += (columns.empty() ? "" : ", ") + Dialect::quoteIdentifier(field.name);
    marks += fmt::format("{}${}", marks.empty() ? "" : ", ", ++count);
  }
  PQclear(
      checked(db,
              PQprepare(db, "insert",
                        ("INSERT INTO \"QVTRN\" (" + columns + ") VALUES (" + marks + ")").c_str(),
                        0, nullptr),
              "prepare insert"));
  const std::string today = "2026-12-05", now = "2026-12-05 10:00:00";
  std::vector<std::string> texts(static_cast<std::size_t>(count));
  std::vector<const char*> values(texts.size());
  auto start = std::chrono::steady_clock::now();
  run(db, "BEGIN");
  PQenterPipelineMode(db);
  std::int64_t waiting = 0;
  const auto readAnswers = [&] {
    PQpipelineSync(db);
    for (std::int64_t i = 0; i < waiting; ++i) {
      PGresult* result = PQgetResult(db);
      checked(db, result, "insert");
      PQclear(result);
      PQclear(PQgetResult(db));  // the end of that statement's answer
    }
    PQclear(PQgetResult(db));  // the sync
    waiting = 0;
  };
  for (std::int64_t i = 0; i < rows; ++i) {
    const Line line = lineFor(i);
    std::size_t position = 0;
    for (const auto& field : table.fields()) {
      if (field.type == FieldType::AutoIncrement) continue;
      const auto& name = field.name;
      const char*& value = values[position];
      std::string& text = texts[position++];
      value = text.c_str();
      if (name == "Chart Number")
        text = line.chart;
      else if (name == "Case Number")
        text = std::to_string(line.caseNumber);
      else if (name == "Date From")
        text = line.date;
      else if (name == "Amount")
        text = fmt::format("{}", line.amount);
      else if (name == "Transaction Type")
        text = line.type;
      else if (name == "Description")
        text = "Office visit";
      else if (name == "Date Modified")
        text = now;
      else if (name == "Date Created")
        text = today;
      else if (field.type == FieldType::Character || field.type == FieldType::Memo)
        text.clear();
      else
        value = nullptr;
      if (value != nullptr) value = text.c_str();
    }
    PQsendQueryPrepared(db, "insert", count, values.data(), nullptr, nullptr, 0);
    if (++waiting == 500) readAnswers();
  }
  readAnswers();
  PQexitPipelineMode(db);
  run(db, "COMMIT");
  t.insert = bench::secondsSince(start);

  std::vector<std::string> kept(table.fields().size() + 1);
  const auto readAll = [&](PGresult* result, int row) {
    for (int c = 0; c < PQnfields(result); ++c)
      kept[static_cast<std::size_t>(c)].assign(
          PQgetvalue(result, row, c), static_cast<std::size_t>(PQgetlength(result, row, c)));
  };
  // The keys as the server's indexes hold them.
  PQclear(checked(
      db,
      PQprepare(
          db, "seek",
          ("SELECT " + all +
           " FROM \"QVTRN\" WHERE \"Chart Number\" = $1 AND COALESCE(\"Case Number\", 0) = $2 "
           "AND \"Entry Number\" = $3 ORDER BY \"Chart Number\", COALESCE(\"Case Number\", 0), "
           "\"Entry Number\", \"Tooth Number\", ctid LIMIT 1")
              .c_str(),
          0, nullptr),
      "prepare seek"));
  start = std::chrono::steady_clock::now();
  for (const auto entry : seeks) {
    const Line line = lineFor(entry - 1);
    const std::string caseText = std::to_string(line.caseNumber), entryText = std::to_string(entry);
    const char* keys[] = {line.chart.c_str(), caseText.c_str(), entryText.c_str()};
    PGresult* result =
        checked(db, PQexecPrepared(db, "seek", 3, keys, nullptr, nullptr, 0), "seek");
    if (PQntuples(result) > 0) readAll(result, 0);
    PQclear(result);
  }
  t.seek = bench::secondsSince(start);

  PQclear(checked(
      db,
      PQprepare(
          db, "range",
          ("SELECT " + all +
           " FROM \"QVTRN\" WHERE UPPER(\"Chart Number\") = $1 ORDER BY UPPER(\"Chart Number\"), "
           "COALESCE(\"Date From\", '-infinity'::date), ctid")
              .c_str(),
          0, nullptr),
      "prepare range"));
  start = std::chrono::steady_clock::now();
  for (const auto& chartNumber : charts) {
    const char* keys[] = {chartNumber.c_str()};
    PGresult* result =
        checked(db, PQexecPrepared(db, "range", 1, keys, nullptr, nullptr, 0), "range");
    for (int row = 0; row < PQntuples(result); ++row) {
      readAll(result, row);
      ++t.rangeRows;
    }
    PQclear(result);
  }
  t.range = bench::secondsSince(start);

  start = std::chrono::steady_clock::now();
  PGresult* counted =
      checked(db,
              PQexec(db,
                     "SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Transaction Type\" = 'A' AND "
                     "\"Amount\" > 50 AND \"Date From\" >= '2025-06-01'"),
              "count");
  t.counted = std::atoll(PQgetvalue(counted, 0, 0));
  PQclear(counted);
  t.count = bench::secondsSince(start);
  PQfinish(db);
  return t;
}

// The middle of the rounds' times for one kind of work.
double median(const std::vector<Timings>& rounds, double Timings::*work) {
  std::vector<double> times;
  for (const auto& round : rounds) times.push_back(round.*work);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void dropSchema(const std::string& schema) {
  auto connection = Connection::open({Engine::Server, schema}, {"bench", nullptr, false});
  connection->driver().executeScript("DROP SCHEMA IF EXISTS " + Dialect::quoteIdentifier(schema) +
                                     " CASCADE");
}

}  // namespace

int main(int argc, char** argv) {
  bool onServer = false;
  int rounds = 3;
  std::string server =
      std::getenv("VANTRELL_TEST_SERVER") != nullptr ? std::getenv("VANTRELL_TEST_SERVER") : "";
  std::vector<std::int64_t> numbers;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--engine" && i + 1 < argc) {
      const std::string engine = argv[++i];
      if (engine != "sqlite" && engine != "server") {
        std::fprintf(stderr, "--engine is sqlite or server\n");
        return 2;
      }
      onServer = engine == "server";
    } else if (argument == "--server" && i + 1 < argc) {
      server = argv[++i];
    } else if (argument == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      numbers.push_back(std::atoll(argument.c_str()));
    }
  }
  if (onServer && server.empty()) {
    std::fprintf(stderr, "--engine server needs --server or VANTRELL_TEST_SERVER\n");
    return 2;
  }
  const std::int64_t rows = numbers.size() > 0 ? numbers[0] : 1000000;
  const std::int64_t seekCount = numbers.size() > 1 ? numbers[1] : 100000;
  std::mt19937_64 random(42);
  std::vector<std::int64_t> seeks;
  for (std::int64_t i = 0; i < seekCount; ++i)
    seeks.push_back(static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(rows)) + 1);
  std::vector<std::string> charts;
  for (int i = 0; i < 1000; ++i) charts.push_back(fmt::format("P{:07}", random() % patients));

  fmt::print(
      "{}, QVTRN: {} rows, {} seeks on Primary, 1000 chart ranges on Idxchartdate, one filtered "
      "count\n",
      onServer ? "PostgreSQL" : "SQLite", rows, seekCount);
  // Raw and layer take turns, each going first in every other round, so a
  // busy machine or the server's background work weighs on both alike; the
  // median of each work is compared.
  std::vector<Timings> raws, layers;
  if (onServer) ::setenv("VANTRELL_SERVER", server.c_str(), 1);
  for (int round = 0; round < rounds; ++round) {
    const auto runRawRound = [&] {
      if (onServer) {
        const std::string schema = fmt::format("store_bench_raw_{}_{}", ::getpid(), round);
        raws.push_back(runRawServer(server, schema, rows, seeks, charts));
        dropSchema(schema);
      } else {
        const auto folder = std::filesystem::temp_directory_path() /
                            fmt::format("vantrell-bench-raw-{}-{}", ::getpid(), round);
        std::filesystem::create_directories(folder);
        raws.push_back(runRaw(folder, rows, seeks, charts));
        std::filesystem::remove_all(folder);
      }
    };
    const auto runLayerRound = [&] {
      if (onServer) {
        const std::string schema = fmt::format("store_bench_layer_{}_{}", ::getpid(), round);
        layers.push_back(runLayer({Engine::Server, schema}, rows, seeks, charts));
        dropSchema(schema);
      } else {
        const auto folder = std::filesystem::temp_directory_path() /
                            fmt::format("vantrell-bench-layer-{}-{}", ::getpid(), round);
        std::filesystem::create_directories(folder);
        layers.push_back(runLayer({Engine::Embedded, folder.string()}, rows, seeks, charts));
        std::filesystem::remove_all(folder);
      }
    };
    if (round % 2 == 0) {
      runRawRound();
      runLayerRound();
    } else {
      runLayerRound();
      runRawRound();
    }
  }
  Timings raw = raws.front(), layer = layers.front();
  for (auto work : {&Timings::insert, &Timings::seek, &Timings::range, &Timings::count}) {
    raw.*work = median(raws, work);
    layer.*work = median(layers, work);
  }

  fmt::print("median of {} rounds\n", rounds);
  fmt::print("{:<22}{:>12}{:>12}{:>8}\n", "work", "layer s", "raw s", "ratio");
  const auto line = [](const char* what, double a, double b) {
    fmt::print("{:<22}{:>12.3f}{:>12.3f}{:>8.2f}\n", what, a, b, a / b);
  };
  line("insert (1 txn)", layer.insert, raw.insert);
  line("seek Primary", layer.seek, raw.seek);
  line("range Idxchartdate", layer.range, raw.range);
  line("filtered count", layer.count, raw.count);
  fmt::print("rows in ranges: layer {} raw {}; counted: layer {} raw {}\n", layer.rangeRows,
             raw.rangeRows, layer.counted, raw.counted);
  return layer.rangeRows == raw.rangeRows && layer.counted == raw.counted ? 0 : 1;
}
