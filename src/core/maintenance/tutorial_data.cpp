#include "maintenance/tutorial_data.hpp"

#include "practice/options.hpp"
#include "practice/practice_information.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::maintenance {
namespace {

using store::Value;

void replaceRows(store::Connection& practice, const char* tableName,
                 const std::vector<std::vector<std::pair<const char*, Value>>>& rows) {
  store::Table table = practice.openTable(tableName);
  std::vector<store::Record> old;
  table.forEach([&](const store::Record& row) { old.push_back(row); });
  for (auto& row : old) table.remove(row);
  for (const auto& fields : rows) {
    store::Record row = table.newRecord();
    for (const auto& [field, value] : fields) row.set(field, value);
    // Alternate codes follow the code, as the code windows fill them.
    if (row.table().hasField("Code 1")) {
      for (const char* alternate : {"Code 2", "Code 3"}) {
        if (row.isEmpty(alternate)) row.set(alternate, row.value("Code 1"));
      }
    }
    table.append(row);
  }
}

Value text(const char* value) { return Value{std::string(value)}; }

}  // namespace

void installTutorialData(store::Connection& practice, store::Connection* rootDirectory) {
  store::createMissingTables(practice, rootDirectory);
  store::Transaction transaction(practice);
  practice::Options::readAtPracticeOpen(practice);
  replaceRows(practice, "QVPRA",
              {{{"Practice Name", text("Medical Group")}, {"Street 1", text("100 Main Street")},
                {"City", text("Springfield")}, {"State", text("IL")}, {"Zip Code", text("62701")},
                {"Phone", text("(217)555-0100")}, {"Practice Type", text("Medical")}}});
  replaceRows(practice, "QVPRO",
              {{{"Code 1", text("99213")}, {"Type", text("A")}, {"Description", text("Office visit, established")},
                {"Insurance Category", text("A")}, {"Amount A", Value{80.0}}, {"Amount B", Value{65.0}}},
               {{"Code 1", text("99203")}, {"Type", text("A")}, {"Description", text("Office visit, new patient")},
                {"Insurance Category", text("A")}, {"Amount A", Value{120.0}}, {"Amount B", Value{95.0}}},
               {{"Code 1", text("85025")}, {"Type", text("C")}, {"Description", text("Blood count, complete")},
                {"Insurance Category", text("C")}, {"Amount A", Value{25.0}}},
               {{"Code 1", text("CASH")}, {"Type", text("M")}, {"Description", text("Cash payment")}},
               {{"Code 1", text("CHECK")}, {"Type", text("N")}, {"Description", text("Check payment")}},
               {{"Code 1", text("INSPAY")}, {"Type", text("I")}, {"Description", text("Insurance payment")}},
               {{"Code 1", text("WRITEOFF")}, {"Type", text("T")}, {"Description", text("Insurance write-off")},
                {"Adjustment Amount Negativ", Value{true}}}});
  replaceRows(practice, "QVINS",
              {{{"Code", text("MC")}, {"Name", text("Medicare")}, {"City", text("Springfield")},
                {"State", text("IL")}, {"Type", text("Medicare")}, {"Default Payment Code", text("INSPAY")},
                {"Default Write Off Code", text("WRITEOFF")}}});
  replaceRows(practice, "QVPHY",
              {{{"Code", text("DJ")}, {"Last Name", text("Jones")}, {"First Name", text("Dana")},
                {"Credentials", text("MD")}, {"City", text("Springfield")}, {"State", text("IL")}}});
  replaceRows(practice, "QVDIA",
              {{{"Code 1", text("I10")}, {"Description", text("Essential (primary) hypertension")}},
               {{"Code 1", text("E11.9")}, {"Description", text("Type 2 diabetes mellitus without complications")}},
               {{"Code 1", text("J06.9")}, {"Description", text("Acute upper respiratory infection, unspecified")}}});
  transaction.commit();
}

}  // namespace vantrell::maintenance
