#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "accounts/patient_list.hpp"
#include "store/expression.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

// The look-ups that filter as the clerk types: the typed text is found
// anywhere in any of the fields, whatever its case, and only as typed (no
// character of it is a pattern).
namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

// The model: what a person means by "the text is in the field".
std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
bool holds(const std::string& field, const std::string& typed) {
  return upper(field).find(upper(trimmed(typed))) != std::string::npos;
}

struct Code {
  const char* code;
  const char* description;
};
const Code codes[] = {
    {"M17.11", "Primary osteoarthritis, right knee"},
    {"S83.2", "Tear of meniscus of knee"},
    {"L60.0", "Ingrowing nail"},
    {"Z00.00", "Adult exam, 100% normal"},
    {"X_1", "Patient's own device"},
    {"Q\"1", "Say \"ah\" test"},
    {"R51.9", "Headache, unspecified"},
};

class ContainsFilterOnEngine : public EngineTest {};
VANTRELL_ON_BOTH_ENGINES(ContainsFilterOnEngine);

TEST_P(ContainsFilterOnEngine, FindsTheTypedTextInTheCodeOrTheDescriptionAsTyped) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVDIA");
  Table diagnoses = connection->openTable("QVDIA");
  for (const Code& code : codes) {
    Record row = diagnoses.newRecord();
    row.set("Code 1", std::string(code.code));
    row.set("Description", std::string(code.description));
    diagnoses.append(row);
  }
  for (const std::string typed :
       {"knee", "KNEE", "  knee ", "m17", ".1", "100%", "%", "x_1", "_", "'s own", "\"ah\"",
        "arthritis, right", "nothing like it", "ear", "0.0"}) {
    std::set<std::string> expected;
    for (const Code& code : codes) {
      if (holds(code.code, typed) || holds(code.description, typed)) expected.insert(code.code);
    }
    diagnoses.setFilter(containsAnyFilter({"Code 1", "Description"}, typed));
    std::set<std::string> found;
    diagnoses.forEach([&](const Record& row) { found.insert(row.text("Code 1")); });
    EXPECT_EQ(found, expected) << "typed \"" << typed << "\"";
  }
  // Nothing typed filters nothing.
  EXPECT_EQ(containsAnyFilter({"Code 1", "Description"}, "   "), "");
}

TEST_P(ContainsFilterOnEngine, ThePatientListKeepsThePatientsTheTextIsFoundIn) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVPAT");
  ensureTable(*connection, "QVCAS");
  struct Patient {
    const char* chart;
    const char* last;
    const char* first;
    const char* ssn;
  };
  const Patient patients[] = {
      {"ELSAL000", "Elsworth", "Alma", "111-22-3333"},
      {"ELLBE000", "Ellery", "Bertram", "222-33-4444"},
      {"WORDE000", "Wordsworth", "Delphine", "333-44-5555"},
      {"OBRMA000", "O'Brien", "Mary", "444-55-1111"},
  };
  {
    Table table = connection->openTable("QVPAT");
    for (const Patient& patient : patients) {
      Record row = table.newRecord();
      row.set("Chart Number", std::string(patient.chart));
      row.set("Last Name", std::string(patient.last));
      row.set("First Name", std::string(patient.first));
      row.set("Social Security Number", std::string(patient.ssn));
      table.append(row);
    }
  }
  vantrell::testing::ScriptedPrompter prompter({});
  accounts::PatientList list(*connection, prompter, nullptr);
  const auto shown = [&] {
    std::vector<std::string> charts;
    for (const auto& row : list.nextPage(100)) charts.push_back(row.text("Chart Number"));
    return charts;
  };
  struct Case {
    accounts::PatientSearch by;
    const char* typed;
    std::vector<std::string> expected;  // in the order of the search
  };
  using accounts::PatientSearch;
  const Case cases[] = {
      // By chart number: in the chart number or either name, listed by chart number.
      {PatientSearch::ChartNumber, "elsworth", {"ELSAL000"}},
      {PatientSearch::ChartNumber, "worth", {"ELSAL000", "WORDE000"}},
      {PatientSearch::ChartNumber, "el", {"ELLBE000", "ELSAL000", "WORDE000"}},
      {PatientSearch::ChartNumber, "ma", {"ELSAL000", "OBRMA000"}},
      {PatientSearch::ChartNumber, "o'b", {"OBRMA000"}},
      // By name: the last name, and after a comma the first name; listed by name.
      {PatientSearch::Name, "worth", {"ELSAL000", "WORDE000"}},
      {PatientSearch::Name, "worth, del", {"WORDE000"}},
      {PatientSearch::Name, ", al", {"ELSAL000"}},
      {PatientSearch::SocialSecurityNumber, "-55", {"WORDE000", "OBRMA000"}},
      {PatientSearch::ChartNumber, "nobody", {}},
      {PatientSearch::ChartNumber, "", {"ELLBE000", "ELSAL000", "OBRMA000", "WORDE000"}},
  };
  for (const Case& c : cases) {
    list.filter(c.by, c.typed);
    EXPECT_EQ(shown(), c.expected) << "typed \"" << c.typed << "\"";
  }
}

}  // namespace
}  // namespace vantrell::store
