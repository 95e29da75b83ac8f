#include <gtest/gtest.h>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

class RoundTrip : public EngineTest {};

// What goes in comes back the same on both engines: every type, the empty
// values, text at its full width in characters, and keys on empty dates.
TEST_P(RoundTrip, EveryTypeComesBackAsItWasWritten) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVTRN");
  ensureTable(*connection, "QVPAT");
  Table ledger = connection->openTable("QVTRN");
  Record line = ledger.newRecord();
  line.set("Chart Number", std::string("PEÑA0000"));
  line.set("Description", std::string("Año nuevo, \"visit\"; 'x'"));  // 24 characters, more bytes
  line.set("Amount", -1234.5678);
  line.set("Unapplied Amount", *Money::parse("-40.1234"));
  line.set("Units", 0.1 + 0.2);
  line.set("Guarantor Paid", true);
  line.set("Insurance 1 Paid", false);
  line.setFromText("Date From", "02/29/2024");
  line.setFromText("Date To", "9999-12-31");
  line.set("Documentation", std::string(5000, 'n') + "\nend");
  line.set("Case Number", std::int64_t{2147483647});
  ledger.append(line);

  ledger.setOrder("Idxentrynumber");
  auto back = ledger.seek({Value{line.integer("Entry Number")}});
  ASSERT_TRUE(back);
  EXPECT_EQ(back->text("Chart Number"), "PEÑA0000");
  EXPECT_EQ(back->text("Description"), "Año nuevo, \"visit\"; 'x'");
  EXPECT_EQ(back->number("Amount"), -1234.5678);
  EXPECT_EQ(back->money("Unapplied Amount"), *Money::parse("-40.1234"));
  EXPECT_EQ(back->number("Units"), 0.1 + 0.2);
  EXPECT_TRUE(back->logical("Guarantor Paid"));
  EXPECT_FALSE(back->isEmpty("Insurance 1 Paid"));
  EXPECT_TRUE(back->isEmpty("Insurance 2 Paid"));
  EXPECT_TRUE(back->isEmpty("Allowed Amount"));
  EXPECT_EQ(back->date("Date From").toIso(), "2024-02-29");
  EXPECT_EQ(back->date("Date To").toIso(), "9999-12-31");
  EXPECT_TRUE(back->date("Date of Last Statement").isEmpty());
  EXPECT_EQ(back->text("Documentation").size(), 5004u);
  EXPECT_EQ(back->integer("Case Number"), 2147483647);

  // Twenty characters fit a twenty-character name however many bytes they take.
  Table patients = connection->openTable("QVPAT");
  Record patient = patients.newRecord();
  patient.set("Chart Number", std::string("A"));
  EXPECT_NO_THROW(patient.set("Last Name", std::string("ÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑ")));
  EXPECT_THROW(patient.set("Last Name", std::string("ÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑ")), InputError);
  patients.append(patient);
  patients.setOrder("Primary");
  EXPECT_EQ(patients.seek({Value{std::string("a")}})->text("Last Name"), "ÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑÑ");
}

TEST_P(RoundTrip, SeeksAndRangesFindEmptyKeyParts) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVTRN");
  Table ledger = connection->openTable("QVTRN");
  for (const char* date : {"", "2026-01-01", ""}) {
    Record line = ledger.newRecord();
    line.set("Chart Number", std::string("LIAN0000"));
    line.setFromText("Date From", date);
    ledger.append(line);
  }
  ledger.setOrder("Idxchartdate");
  auto undated = ledger.seek({Value{std::string("LIAN0000")}, Value{Date{}}});
  ASSERT_TRUE(undated);
  EXPECT_TRUE(undated->date("Date From").isEmpty());
  ledger.setRange({Value{std::string("LIAN0000")}, Value{Date{}}}, {Value{std::string("LIAN0000")}, Value{Date{}}});
  EXPECT_EQ(ledger.count(), 2);
  ledger.addFilter("Amount = 0");
  EXPECT_EQ(ledger.count(), 2);
  EXPECT_THROW(ledger.seek({}), InputError);
  EXPECT_THROW(ledger.setRange({Value{std::string("A")}, Value{Date{}}, Value{std::int64_t{1}}}, {}), InputError);

  ledger.setOrder("Idxentrynumber");
  EXPECT_FALSE(ledger.seek({Value{std::int64_t{999}}}));
  EXPECT_THROW(ledger.seek({Value{std::string("not a number")}}), InputError);
}

VANTRELL_ON_BOTH_ENGINES(RoundTrip);

}  // namespace
}  // namespace vantrell::store
