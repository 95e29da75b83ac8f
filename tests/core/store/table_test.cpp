#include <gtest/gtest.h>

#include <algorithm>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

std::string januaryDay(int day) {
  return "2026-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day);
}

class TableOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    clock_ = std::make_unique<ui::FixedClock>(*DateTime::parse("2026-12-05 09:30:00"));
    connection_ = space_->connect("FRONTDESK", clock_.get());
    connection_->setUser("JANE");
    for (const char* name : {"QVTRN", "QVTRNE", "QVPAX", "QVPAT"}) ensureTable(*connection_, name);
  }

  Record charge(Table& ledger, const std::string& chart, int caseNumber, const char* date,
                const char* amount, const char* tooth = "") {
    Record row = ledger.newRecord();
    row.set("Chart Number", chart);
    row.set("Case Number", std::int64_t{caseNumber});
    row.setFromText("Date From", date);
    row.set("Transaction Type", std::string("A"));
    row.setFromText("Amount", amount);
    row.set("Tooth Number", std::string(tooth));
    ledger.append(row);
    return row;
  }

  std::unique_ptr<ui::FixedClock> clock_;
  std::unique_ptr<Connection> connection_;
};

TEST_P(TableOnEngine, AppendAssignsEntryNumbersAndStampsTheRow) {
  Table ledger = connection_->openTable("QVTRN.ADT");
  Record first = charge(ledger, "SMIJO000", 1, "2026-11-01", "80");
  Record second = charge(ledger, "SMIJO000", 1, "2026-11-02", "45.5");
  EXPECT_GT(first.integer("Entry Number"), 0);
  EXPECT_EQ(second.integer("Entry Number"), first.integer("Entry Number") + 1);
  EXPECT_EQ(first.timestamp("Date Modified").toIso(), "2026-12-05 09:30:00");
  EXPECT_EQ(first.date("Date Created").toIso(), "2026-12-05");
  EXPECT_EQ(first.text("User Code"), "JANE");

  // The estimate ledger counts its own entry numbers.
  Table estimates = connection_->openTable("QVTRNE");
  Record estimate = charge(estimates, "SMIJO000", 1, "2026-11-01", "10");
  EXPECT_EQ(estimate.integer("Entry Number"), first.integer("Entry Number"));

  // Same chart, case and entry only with another tooth; the Primary tag is unique.
  ledger.setOrder("Primary");
  auto found = ledger.seek({Value{std::string("SMIJO000")}, Value{std::int64_t{1}},
                            Value{second.integer("Entry Number")}});
  ASSERT_TRUE(found);
  EXPECT_EQ(found->money("Amount"), *Money::parse("45.50"));
  EXPECT_EQ(found->date("Date From").toIso(), "2026-11-02");
  EXPECT_TRUE(found->date("Date of First Statement").isEmpty());
  EXPECT_FALSE(found->logical("Insurance 1 Paid"));

  clock_->set(*DateTime::parse("2026-12-06 08:00:00"));
  ledger.edit(*found);
  found->set("Amount", *Money::parse("50"));
  ledger.post(*found);
  EXPECT_FALSE(found->isInEdit());
  auto reread = ledger.seek({Value{std::string("SMIJO000")}, Value{std::int64_t{1}},
                             Value{second.integer("Entry Number")}});
  EXPECT_EQ(reread->money("Amount"), Money::fromCents(5000));
  EXPECT_EQ(reread->timestamp("Date Modified").toIso(), "2026-12-06 08:00:00");
  EXPECT_EQ(reread->date("Date Created").toIso(), "2026-12-05");
}

TEST_P(TableOnEngine, OrderRangeAndPagesFollowTheTag) {
  Table ledger = connection_->openTable("QVTRN");
  charge(ledger, "BBB", 1, "2026-03-01", "1");
  charge(ledger, "aaa", 2, "2026-02-01", "2");
  charge(ledger, "BBB", 1, "", "3");
  for (int day = 1; day <= 25; ++day) charge(ledger, "CCC", 3, januaryDay(day).c_str(), "4");
  ledger.setOrder("Idxchartdate");  // UPPER(Chart Number);Date From
  std::vector<std::string> order;
  PageCursor cursor;
  for (auto& row : ledger.nextPage(cursor, 4))
    order.push_back(row.text("Chart Number") + "@" + row.date("Date From").toIso());
  EXPECT_EQ(order, (std::vector<std::string>{"aaa@2026-02-01", "BBB@", "BBB@2026-03-01",
                                             "CCC@2026-01-01"}));

  ledger.setRange({Value{std::string("ccc")}}, {Value{std::string("CCC")}});
  EXPECT_EQ(ledger.count(), 25);
  std::vector<std::string> dates;
  ledger.forEach([&](const Record& row) { dates.push_back(row.date("Date From").toIso()); }, 7);
  ASSERT_EQ(dates.size(), 25u);
  EXPECT_TRUE(std::is_sorted(dates.begin(), dates.end()));
  EXPECT_EQ(dates.back(), "2026-01-25");

  ledger.setRange({Value{std::string("CCC")}, Value{*Date::parse("2026-01-10")}},
                  {Value{std::string("CCC")}, Value{*Date::parse("2026-01-12")}});
  EXPECT_EQ(ledger.count(), 3);
  ledger.cancelRange();
  PageCursor fromBCursor(std::vector<Value>{Value{std::string("b")}});
  auto fromB = ledger.nextPage(fromBCursor, 2);
  ASSERT_EQ(fromB.size(), 2u);
  EXPECT_EQ(fromB[0].text("Chart Number"), "BBB");
  EXPECT_TRUE(fromB[0].date("Date From").isEmpty());

  // Walked backwards a page at a time, rows tied on the key (two CCC charges
  // on one day) included, the order is the forward walk reversed.
  charge(ledger, "CCC", 3, januaryDay(5).c_str(), "5");
  const auto walk = [&](PageCursor from) {
    std::vector<std::int64_t> entries;
    for (auto page = ledger.nextPage(from, 4); !page.empty(); page = ledger.nextPage(from, 4))
      for (const auto& row : page) entries.push_back(row.integer("Entry Number"));
    return entries;
  };
  std::vector<std::int64_t> forward = walk(PageCursor());
  const std::vector<std::int64_t> backward = walk(PageCursor(PageCursor::Direction::Descending));
  ASSERT_EQ(forward.size(), 29u);
  std::reverse(forward.begin(), forward.end());
  EXPECT_EQ(backward, forward);

  ledger.setOrderByFields({"Amount", "Chart Number"});
  PageCursor byAmount;
  EXPECT_EQ(ledger.nextPage(byAmount, 1)[0].text("Chart Number"), "BBB");
  EXPECT_THROW(ledger.setOrder("NoSuchTag"), InputError);
  EXPECT_THROW(ledger.setOrderByFields({"Amunt"}), InputError);
}

// Ranges whose ends share leading key parts, walked two rows a page, against a
// model of the tag's order: charts upper-cased, an empty date before any date.
TEST_P(TableOnEngine, RangesWithEqualLeadingPartsHoldExactlyTheRowsBetweenTheirEnds) {
  Table ledger = connection_->openTable("QVTRN");
  struct Row {
    std::string chart, date;
    int cents;
  };
  std::vector<Row> rows;
  int cents = 100;
  for (const char* chart : {"aaa", "AAB", "BBB", "bbc"})
    for (const char* date : {"", "2026-01-05", "2026-01-10", "2026-01-11", "2026-02-01"}) {
      rows.push_back({chart, date, cents});
      charge(ledger, chart, 1, date,
             (std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
              std::to_string(cents % 10))
                 .c_str());
      cents += 7;
    }
  const auto upper = [](std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  // A bound of one or two parts; a row is inside when its key, cut to the
  // bound's length, is not beyond it.
  using Bound = std::pair<std::string, std::optional<std::string>>;
  const auto compare = [&](const Row& row, const Bound& bound) {
    const auto chart = upper(row.chart).compare(upper(bound.first));
    if (chart != 0 || !bound.second) return chart;
    return row.date.compare(*bound.second);
  };
  const auto values = [](const Bound& bound) {
    std::vector<Value> key{Value{bound.first}};
    if (bound.second)
      key.push_back(bound.second->empty() ? Value{Date{}} : Value{*Date::parse(*bound.second)});
    return key;
  };
  ledger.setOrder("Idxchartdate");
  const std::vector<std::pair<Bound, Bound>> ranges = {
      {{"bbb", std::nullopt}, {"BBB", std::nullopt}},
      {{"BBB", "2026-01-05"}, {"bbb", "2026-01-11"}},
      {{"BBB", "2026-01-10"}, {"BBB", "2026-01-10"}},
      {{"AAB", ""}, {"AAB", ""}},
      {{"AAB", std::nullopt}, {"AAB", "2026-01-10"}},
      {{"AAA", "2026-01-11"}, {"AAA", std::nullopt}},
      {{"AAB", "2026-01-10"}, {"BBB", "2026-01-05"}},
      {{"BBB", "2026-01-11"}, {"BBB", "2026-01-05"}},
  };
  for (const auto& [start, end] : ranges) {
    std::vector<int> wanted;
    for (const auto& row : rows)
      if (compare(row, start) >= 0 && compare(row, end) <= 0) wanted.push_back(row.cents);
    ledger.setRange(values(start), values(end));
    std::vector<int> seen;
    ledger.forEach(
        [&](const Record& row) {
          seen.push_back(static_cast<int>(row.money("Amount").tenThousandths() / 100));
        },
        2);
    EXPECT_EQ(seen, wanted) << start.first << " " << start.second.value_or("-") << " to "
                            << end.first << " " << end.second.value_or("-");
    EXPECT_EQ(ledger.count(), static_cast<std::int64_t>(wanted.size()));
  }
}

TEST_P(TableOnEngine, BadValuesAndFailedSavesLeaveTheDataAsItWas) {
  Table patients = connection_->openTable("QVPAT");
  Record patient = patients.newRecord();
  patient.set("Chart Number", std::string("LIAN0000"));
  patient.set("Last Name", std::string("Li"));
  patients.append(patient);

  patients.edit(patient);
  try {
    patient.set("Last Name", std::string("A name far longer than twenty characters"));
    FAIL() << "a value wider than its field was taken";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("Last Name (20 characters at most)"),
              std::string::npos);
  }
  EXPECT_EQ(patient.text("Last Name"), "Li");
  EXPECT_THROW(patient.setFromText("Date of Birth", "31/12/2020"), InputError);
  EXPECT_THROW(patient.set("Flag", std::string("red")), InputError);
  EXPECT_THROW(patient.set("No Such Field", std::string("x")), InputError);
  patients.cancel(patient);

  // A save of several rows that fails part-way is rolled back as a whole.
  Table ledger = connection_->openTable("QVTRN");
  {
    Transaction save(*connection_);
    charge(ledger, "LIAN0000", 1, "2026-11-01", "100");
    patients.edit(patient);
    patient.set("Patient Reference Balance", 100.0);
    patients.post(patient);
    Record clash = patients.newRecord();
    clash.set("Chart Number", std::string("LIAN0000"));
    EXPECT_THROW(patients.append(clash), DuplicateKeyError);
  }
  EXPECT_EQ(ledger.count(), 0);
  patients.setOrder("Primary");
  EXPECT_EQ(patients.seek({Value{std::string("lian0000")}})->number("Patient Reference Balance"),
            0.0);

  {
    Transaction save(*connection_);
    charge(ledger, "LIAN0000", 1, "2026-11-01", "100");
    {
      Transaction inner(*connection_);  // a savepoint: its rollback keeps the outer work
      charge(ledger, "LIAN0000", 1, "2026-11-02", "5");
    }
    save.commit();
  }
  EXPECT_EQ(ledger.count(), 1);
  PageCursor all;
  auto rows = ledger.nextPage(all, 10);
  ledger.remove(rows[0]);
  EXPECT_EQ(ledger.count(), 0);
}

TEST_P(TableOnEngine, AStaleRecordNeverWritesAnotherRow) {
  ensureTable(*connection_, "QVADD");
  auto other = space_->connect("JOE");
  for (const char* name : {"QVPAT", "QVADD"}) {
    const std::string key = std::string(name) == "QVPAT" ? "Chart Number" : "Code";
    Table mine = connection_->openTable(name);
    Table theirs = other->openTable(name);
    Record first = mine.newRecord();
    first.set(key, std::string("OLD"));
    mine.append(first);
    // They delete the row and make another; on the embedded engine it even gets
    // the same row id.
    Record stale = first;
    PageCursor cursor;
    Record theirCopy = theirs.nextPage(cursor, 1).at(0);
    theirs.remove(theirCopy);
    Record replacement = theirs.newRecord();
    replacement.set(key, std::string("NEW"));
    theirs.append(replacement);

    stale.set(name == std::string("QVPAT") ? "Last Name" : "Name", std::string("Mine"));
    EXPECT_THROW(mine.post(stale), StoreError) << name;
    mine.cancel(stale);
    PageCursor check;
    const auto rows = mine.nextPage(check, 10);
    ASSERT_EQ(rows.size(), 1u) << name;
    EXPECT_EQ(rows[0].text(key), "NEW") << name;
    EXPECT_TRUE(rows[0].isEmpty(name == std::string("QVPAT") ? "Last Name" : "Name")) << name;
  }
}

TEST_P(TableOnEngine, AWalkThatChangesOrDeletesItsRowsSeesEachRowOnce) {
  Table ledger = connection_->openTable("QVTRN");
  for (int i = 0; i < 60; ++i) charge(ledger, "SAME", 1, "2026-01-01", "1");
  ledger.setOrder("Idxchartdate");  // every row has the same key: the identity breaks the ties
  int visited = 0;
  ledger.forEach(
      [&](Record& row) {
        ++visited;
        row.set("Amount", 2.0);
        ledger.post(row);
      },
      7);
  EXPECT_EQ(visited, 60);
  ledger.setFilter("Amount = 1");
  EXPECT_EQ(ledger.count(), 0);
  ledger.clearFilter();

  // Deleting as it goes, and another workstation deleting the row a page ended on.
  auto other = space_->connect("JOE");
  Table theirs = other->openTable("QVTRN");
  PageCursor cursor;
  auto page = ledger.nextPage(cursor, 10);
  Record lastOfPage = page.back();
  theirs.remove(lastOfPage);
  int seen = static_cast<int>(page.size());
  for (page = ledger.nextPage(cursor, 10); !page.empty(); page = ledger.nextPage(cursor, 10)) {
    seen += static_cast<int>(page.size());
    for (auto& row : page) ledger.remove(row);
  }
  EXPECT_EQ(seen, 60);
  EXPECT_EQ(ledger.count(), 10 - 1);
}

TEST_P(TableOnEngine, ACommitAfterAFailedStatementKeepsNothingOnBothEngines) {
  Table patients = connection_->openTable("QVPAT");
  Record first = patients.newRecord();
  first.set("Chart Number", std::string("AAA"));
  patients.append(first);
  Transaction transaction(*connection_);
  Record kept = patients.newRecord();
  kept.set("Chart Number", std::string("BBB"));
  patients.append(kept);
  Record clash = patients.newRecord();
  clash.set("Chart Number", std::string("AAA"));
  EXPECT_THROW(patients.append(clash), DuplicateKeyError);
  EXPECT_THROW(transaction.commit(), StoreError);
  EXPECT_EQ(patients.count(), 1);

  // A failure inside a savepoint is undone with it; the outer work stays.
  {
    Transaction outer(*connection_);
    patients.append(kept);
    {
      Transaction inner(*connection_);
      Record again = patients.newRecord();
      again.set("Chart Number", std::string("AAA"));
      EXPECT_THROW(patients.append(again), DuplicateKeyError);
    }
    outer.commit();
  }
  EXPECT_EQ(patients.count(), 2);
}

TEST_P(TableOnEngine, AutoincrementNumbersWrittenBySqlAreNeverHandedOutAgain) {
  connection_->executeSql(
      "INSERT INTO QVTRN (\"Chart Number\", \"Case Number\", \"Entry Number\") VALUES ('X', 1, "
      "500)");
  Table ledger = connection_->openTable("QVTRN");
  Record next = charge(ledger, "X", 1, "2026-01-01", "1");
  EXPECT_EQ(next.integer("Entry Number"), 501);
}

TEST_P(TableOnEngine, ARowRefusedInTheMiddleOfABatchedSaveIsNamedAndNothingOfTheSaveIsKept) {
  Table ledger = connection_->openTable("QVTRN");
  const Record before = charge(ledger, "KEPT0000", 1, "2026-10-01", "5");
  // A unique document number lets the engine refuse one row of the save.
  connection_->executeSql(
      "CREATE UNIQUE INDEX \"one_document\" ON \"QVTRN\" (\"Document Number\")");
  const auto line = [&](int n, const std::string& document) {
    Record row = ledger.newRecord();
    row.set("Chart Number", std::string("BATCH000"));
    row.set("Case Number", std::int64_t{1});
    row.set("Document Number", document);
    row.setFromText("Amount", std::to_string(n) + ".25");
    ledger.append(row);
    return row;
  };
  {
    Transaction save(*connection_);
    ledger.expectAppends(12);
    try {
      for (int n = 1; n <= 12; ++n) line(n, n == 7 ? "DOC3" : "DOC" + std::to_string(n));
      save.commit();
      ADD_FAILURE() << "a save with the same document twice was kept";
    } catch (const StoreError& refusal) {
      const std::string message = refusal.what();
      EXPECT_NE(message.find("record 7 of the save"), std::string::npos) << message;
    }
  }
  EXPECT_EQ(ledger.count(), 1);

  // The session goes on: a batched save reads its own rows back before the
  // commit, and keeps them, amounts and numbers, after it.
  std::vector<Record> saved;
  {
    Transaction save(*connection_);
    ledger.expectAppends(3);
    for (int n = 1; n <= 3; ++n) saved.push_back(line(n, "NEW" + std::to_string(n)));
    EXPECT_EQ(ledger.count(), 4);
    save.commit();
  }
  ledger.setOrder("Idxentrynumber");
  for (int n = 1; n <= 3; ++n) {
    const Record& row = saved[static_cast<std::size_t>(n - 1)];
    EXPECT_GT(row.integer("Entry Number"), before.integer("Entry Number"));
    const auto stored = ledger.seek({Value{row.integer("Entry Number")}});
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->text("Document Number"), "NEW" + std::to_string(n));
    EXPECT_EQ(stored->money("Amount"), *Money::parse(std::to_string(n) + ".25"));
  }
  EXPECT_NE(saved[0].integer("Entry Number"), saved[1].integer("Entry Number"));
  // A plain append after the save never takes a number the save used.
  const Record after = line(4, "NEW4");
  for (const auto& row : saved)
    EXPECT_NE(after.integer("Entry Number"), row.integer("Entry Number"));
}

TEST_P(TableOnEngine, OneReadOfManyKeysFindsWhatEachSeekWould) {
  Table ledger = connection_->openTable("QVTRN");
  charge(ledger, "aaa", 1, "2026-02-01", "2");
  charge(ledger, "BBB", 2, "2026-03-01", "1");
  charge(ledger, "BBB", 2, "2026-03-01", "5");
  for (int day = 1; day <= 9; ++day) charge(ledger, "CCC", 3, januaryDay(day).c_str(), "4");
  ledger.setOrder("Idxchartdate");  // UPPER(Chart Number);Date From
  const auto described = [](const std::vector<Record>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows)
      out.push_back(row.text("Chart Number") + "@" + row.date("Date From").toIso() + "=" +
                    row.money("Amount").toString());
    std::sort(out.begin(), out.end());
    return out;
  };
  const auto day = [](const char* iso) { return Value{*Date::parse(iso)}; };
  // Keys compare as the tag does (upper-cased charts); a key that is nowhere finds nothing.
  EXPECT_EQ(described(ledger.seekMany({{Value{std::string("AAA")}, day("2026-02-01")},
                                       {Value{std::string("bbb")}, day("2026-03-01")},
                                       {Value{std::string("CCC")}, day("2026-01-05")},
                                       {Value{std::string("CCC")}, day("2026-05-05")}})),
            (std::vector<std::string>{"BBB@2026-03-01=1.00", "BBB@2026-03-01=5.00",
                                      "CCC@2026-01-05=4.00", "aaa@2026-02-01=2.00"}));
  // A partial key, within the filter.
  ledger.setFilter("Amount > 1");
  EXPECT_EQ(described(ledger.seekMany({{Value{std::string("BBB")}}, {Value{std::string("aaa")}}})),
            (std::vector<std::string>{"BBB@2026-03-01=5.00", "aaa@2026-02-01=2.00"}));
  ledger.clearFilter();
  EXPECT_TRUE(ledger.seekMany({}).empty());
  EXPECT_THROW(ledger.seekMany({{Value{std::string("A")}, day("2026-01-01"), Value{1}}}),
               InputError);

  // More keys than one statement carries: every stored entry once, the rest nothing.
  ledger.setOrder("Idxentrynumber");
  std::vector<std::vector<Value>> keys;
  std::vector<std::int64_t> stored;
  ledger.forEach([&](const Record& row) { stored.push_back(row.integer("Entry Number")); });
  for (std::int64_t entry = 1; entry <= 700; ++entry) keys.push_back({Value{entry}});
  std::vector<std::int64_t> found;
  for (const auto& row : ledger.seekMany(keys)) found.push_back(row.integer("Entry Number"));
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, stored);
  EXPECT_EQ(found.size(), 12u);
}

TEST_P(TableOnEngine, FieldsLeftUnreadAreEmptyUntilEditAndKeptByAPost) {
  Table ledger = connection_->openTable("QVTRN");
  charge(ledger, "BBB", 2, "2026-03-01", "1.50", "11");
  ledger.setOrder("Idxentrynumber");
  ledger.setFields({"Amount"});
  PageCursor cursor;
  auto rows = ledger.nextPage(cursor, 10);
  ASSERT_EQ(rows.size(), 1u);
  Record& row = rows[0];
  EXPECT_EQ(row.money("Amount"), *Money::parse("1.50"));
  // What finds the row and names its lock (the unique key) is always read.
  EXPECT_GT(row.integer("Entry Number"), 0);
  EXPECT_EQ(row.text("Chart Number"), "BBB");
  EXPECT_EQ(row.text("Tooth Number"), "11");
  EXPECT_TRUE(row.date("Date From").isEmpty());
  EXPECT_EQ(row.text("Transaction Type"), "");
  row.set("Amount", *Money::parse("9"));
  ledger.post(row);
  // The post read the row afresh under its lock.
  EXPECT_EQ(row.date("Date From"), *Date::parse("2026-03-01"));

  Table fresh = connection_->openTable("QVTRN");
  fresh.setOrder("Idxentrynumber");
  const auto stored = fresh.seek({Value{row.integer("Entry Number")}});
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->money("Amount"), *Money::parse("9"));
  EXPECT_EQ(stored->text("Tooth Number"), "11");
  EXPECT_EQ(stored->text("Chart Number"), "BBB");
  EXPECT_EQ(stored->date("Date From"), *Date::parse("2026-03-01"));
  EXPECT_EQ(stored->text("Transaction Type"), "A");

  // A table found again by its unique key reads that key whatever is asked for.
  Table patients = connection_->openTable("QVPAT");
  Record patient = patients.newRecord();
  patient.set("Chart Number", std::string("LEEAN000"));
  patient.set("Last Name", std::string("Lee"));
  patient.set("First Name", std::string("Ann"));
  patients.append(patient);
  patients.setOrder("Primary");
  patients.setFields({"First Name"});
  auto partial = patients.seek({Value{std::string("LEEAN000")}});
  ASSERT_TRUE(partial.has_value());
  EXPECT_EQ(partial->text("Chart Number"), "LEEAN000");
  EXPECT_EQ(partial->text("Last Name"), "");
  partial->set("First Name", std::string("Anne"));
  patients.post(*partial);
  patients.setFields({});
  const auto whole = patients.seek({Value{std::string("LEEAN000")}});
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(whole->text("Last Name"), "Lee");
  EXPECT_EQ(whole->text("First Name"), "Anne");
  EXPECT_THROW(patients.setFields({"Frist Name"}), InputError);
}

VANTRELL_ON_BOTH_ENGINES(TableOnEngine);

}  // namespace
}  // namespace vantrell::store
