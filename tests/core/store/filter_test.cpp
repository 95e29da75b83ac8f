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
      {"Last Name = 'Li", "unterminated string"},
      {"Last Nam = 'Li'", "unknown field \"Last\""},
      {"Last Name = 'Li' AND", "expected a field"},
      {"(Last Name = 'Li'", "expected ')'"},
      {"Last Name = 'Li' 'x'", "unexpected text"},
      {"Date of Birth = 'soon'", "is not a date"},
      {"Flag = .T.", "cannot be compared"},
      {"Inactive = 3", "cannot be compared"},
      {"Last Name", "is not a condition"},
      {"CTOD(12) = Date of Birth", "CTOD expects"},
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

class FilterOnEngine : public EngineTest {};

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
