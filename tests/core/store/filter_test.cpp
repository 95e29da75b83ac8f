#include <gtest/gtest.h>

#include "store/errors.hpp"
#include "store/schema_catalogue.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/plain_dialect.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

// Refusals happen before any engine is asked; a dialect that writes plain SQL will do.
TEST(FilterParser, MalformedFiltersAreRefusedWithTheirText) {
  const vantrell::testing::PlainDialect dialect;
  const auto& patients = schemaCatalogue().get("QVPAT");
  struct Row {
    const char* filter;
    const char* reason;
  };
  const Row rows[] = {
      {"Last Name = 'Li", "unterminated string"},   {"Last Nam = 'Li'", "unknown field \"Last\""},
      {"Last Name = 'Li' AND", "expected a field"}, {"(Last Name = 'Li'", "expected ')'"},
      {"Last Name = 'Li' 'x'", "unexpected text"},  {"Date of Birth = 'soon'", "is not a date"},
      {"Flag = .T.", "cannot be compared"},         {"Inactive = 3", "cannot be compared"},
      {"Last Name", "is not a condition"},          {"CTOD(12) = Date of Birth", "CTOD expects"},
  };
  for (const auto& row : rows) {
    try {
      filterToSql(patients, row.filter, dialect);
      ADD_FAILURE() << "accepted: " << row.filter;
    } catch (const FilterError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(std::string("\"") + row.filter + "\""), std::string::npos) << message;
      EXPECT_NE(message.find(row.reason), std::string::npos) << message;
    }
  }
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

// A filter typed or pasted from outside must be refused, never followed into a
// stack overflow: deep nesting and very long text name their limit.
TEST(FilterParser, DeepOrLongFiltersAreRefusedNamingTheLimit) {
  const vantrell::testing::PlainDialect dialect;
  const auto& patients = schemaCatalogue().get("QVPAT");
  const auto refusal = [&](const std::string& filter) -> std::string {
    try {
      filterToSql(patients, filter, dialect);
    } catch (const FilterError& error) {
      return error.what();
    }
    return "accepted";
  };
  const std::string nested = "it nests more than 64 levels deep";
  EXPECT_NE(refusal(repeated("(", 20000) + "Flag = 1" + repeated(")", 20000)).find(nested),
            std::string::npos);
  EXPECT_NE(refusal(repeated("!", 20000) + "Inactive").find(nested), std::string::npos);
  EXPECT_NE(refusal(repeated("!", 120000) + "Inactive").find("more than the 65536 accepted"),
            std::string::npos);
  EXPECT_NE(refusal(repeated(".NOT. ", 5000) + "Inactive").find(nested), std::string::npos);
  EXPECT_NE(
      refusal("UPPER(" + repeated("UPPER(", 5000) + "Last Name" + repeated(")", 5001) + " = 'A'")
          .find(nested),
      std::string::npos);
  EXPECT_NE(refusal(repeated("Last Name + ", 3000) + "Last Name = 'A'").find(nested),
            std::string::npos);
  EXPECT_NE(refusal(repeated("Last Name + ", 3000) + "Last Name").find(nested), std::string::npos);
  // Up to the limit is fine.
  EXPECT_EQ(refusal(repeated("(", 64) + "Flag = 1" + repeated(")", 64)), "accepted");
  EXPECT_EQ(refusal(repeated("!", 64) + "Inactive"), "accepted");
  EXPECT_NE(refusal(repeated("(", 65) + "Flag = 1" + repeated(")", 65)).find(nested),
            std::string::npos);
  // The whole text of a long refused filter is not repeated back.
  const std::string message = refusal(repeated("(", 20000));
  EXPECT_LT(message.size(), 300u) << message;
  EXPECT_NE(message.find("(20000 characters)"), std::string::npos) << message;

  const std::string tooLong = "Last Name = '" + std::string(70000, 'x') + "'";
  const std::string longMessage = refusal(tooLong);
  EXPECT_NE(longMessage.find("it is 70014 characters long, more than the 65536 accepted"),
            std::string::npos)
      << longMessage;
  // Index keys share the parser and its limits.
  EXPECT_THROW(
      keyParts(patients, repeated("UPPER(", 3000) + "Last Name" + repeated(")", 3000), dialect),
      FilterError);
}

class FilterOnEngine : public EngineTest {};

// Long flat chains of AND and OR are what a program builds from a list; the
// engines must accept them and select the same rows a plain loop does.
TEST_P(FilterOnEngine, LongChainsOfAndAndOrRunOnTheEngine) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVPAT");
  Table patients = connection->openTable("QVPAT");
  const int flags[] = {0, 1, 2, 3, 5, 8, 13};
  for (const int flag : flags) {
    Record row = patients.newRecord();
    row.set("Chart Number", "CH" + std::to_string(flag));
    row.set("Flag", std::int64_t{flag});
    patients.append(row);
  }
  // Every flag but 3 and 8 excluded one at a time: 5,000 terms.
  std::string allBut = "Flag # 3";
  for (int i = 1; i < 5000; ++i) allBut += " AND Flag#" + std::to_string(i % 2 == 0 ? 3 : 8);
  ASSERT_LT(allBut.size(), 65536u);
  patients.setFilter(allBut);
  EXPECT_EQ(patients.count(), 5);
  // Any of 4,500 numbers from 1000 up, and 2 and 13: two rows.
  std::string anyOf = "Flag = 2";
  for (int i = 0; i < 4500; ++i) anyOf += " OR Flag=" + std::to_string(1000 + i);
  anyOf += " OR Flag = 13";
  ASSERT_LT(anyOf.size(), 65536u);
  patients.setFilter(anyOf);
  EXPECT_EQ(patients.count(), 2);
  std::vector<std::int64_t> seen;
  patients.setOrder("Primary");
  patients.forEach([&](const Record& row) { seen.push_back(row.integer("Flag")); });
  EXPECT_EQ(seen, (std::vector<std::int64_t>{13, 2}));  // "CH13" sorts before "CH2"
  // Mixed: each OR term an AND of two; the values stay in their places.
  std::string mixed = "(Flag > 100 AND Flag < 50)";
  for (int i = 0; i < 1500; ++i) mixed += " OR (Flag > 100 AND Flag < 50)";
  mixed += " OR (Flag >= 5 AND Flag <= 8)";
  patients.setFilter(mixed);
  EXPECT_EQ(patients.count(), 2);
}

TEST_P(FilterOnEngine, SelectsTheSameRowsOnBothEngines) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVPAT");
  Table patients = connection->openTable("QVPAT");
  struct Patient {
    const char* chart;
    const char* last;
    const char* first;
    const char* birth;
    bool inactive;
    int flag;
  };
  for (const Patient& p : {Patient{"LIAN0000", "Li", "An", "1980-05-01", false, 1},
                           Patient{"OBRMA000", "O'Brien", "Mary", "1975-12-31", true, 2},
                           Patient{"SMIJO000", "Smith", "John", "", false, 0},
                           Patient{"SMIJA000", "smith", "Jane", "2001-02-03", false, 3}}) {
    Record row = patients.newRecord();
    row.set("Chart Number", std::string(p.chart));
    row.set("Last Name", std::string(p.last));
    row.set("First Name", std::string(p.first));
    row.setFromText("Date of Birth", p.birth);
    row.set("Inactive", p.inactive);
    row.set("Flag", std::int64_t{p.flag});
    patients.append(row);
  }
  // A row whose logical and number fields were never set reads them as false and 0.
  Record bare = patients.newRecord();
  bare.set("Chart Number", std::string("ZZZZ0000"));
  patients.append(bare);
  struct Row {
    const char* filter;
    std::int64_t count;
  };
  const Row rows[] = {
      {"Inactive = .F.", 4},
      {"Flag < 2.5 AND Flag >= 0", 4},
      {"Flag = 0", 2},
      {"Last Name = 'Smith'", 1},
      {"UPPER(Last Name) = 'SMITH'", 2},
      {"Last Name = \"O'Brien\"", 1},
      {"Last Name = 'Smith   '", 1},  // blank padding does not count
      {"Date of Birth = CTOD('')", 2},
      {"Date of Birth <> CTOD('')", 3},
      {"Date of Birth >= CTOD('01/01/1980')", 2},
      {"Date of Birth < CTOD('01/01/1980') OR Inactive", 1},
      {"Inactive = .F. .AND. Flag > 0", 2},
      {".NOT. Inactive AND NOT (Flag = 0)", 2},
      {"Inactive <> .T.", 4},
      {"!Inactive", 4},
      {"Middle Initial = ''", 5},
      {"EMPTY(Date of Birth)", 2},
      {"EMPTY(Flag)", 1},
      {"'mit' $ Last Name", 2},
      {"Last Name + First Name = 'Li                  An'", 1},  // fields joined keep their width
      {"Last Name + First Name = 'LiAn'", 0},
      {"Chart Number >= 'S' and Flag # 0", 1},
      {"Chart Number >= 'S' and Flag = 0", 2},
      {"Last Name = \"x' OR '1'='1\"", 0},  // quotes inside a value stay a value
  };
  for (const auto& row : rows) {
    patients.setFilter(row.filter);
    EXPECT_EQ(patients.count(), row.count) << row.filter;
  }
  patients.setFilter("Flag > 0");
  patients.addFilter("Last Name = 'Li' OR Last Name = 'smith'");
  EXPECT_EQ(patients.filter(), "Flag > 0 AND Last Name = 'Li' OR Last Name = 'smith'");
  EXPECT_EQ(patients.count(), 2);  // each condition holds as a whole
  EXPECT_THROW(patients.setFilter("Flag >"), FilterError);
  EXPECT_EQ(patients.count(), 2);  // a refused filter leaves the old one in place
}

VANTRELL_ON_BOTH_ENGINES(FilterOnEngine);

}  // namespace
}  // namespace vantrell::store
