#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"

namespace vantrell::accounts {

// What the patient list searches by; each has its index tag.
enum class PatientSearch { ChartNumber, Name, SocialSecurityNumber, PatientId2 };

// The patient list: patients a page at a time in the order searched by, from
// the first at or after what was typed, and the cases of the patient chosen.
class PatientList {
 public:
  PatientList(store::Connection& practice, ui::Prompter& prompter, security::Security* security);

  // Starts the list over in the search's order at the first patient whose key
  // begins at or after the text ("SMI" finds SMITH first; for names a comma
  // divides last and first name).
  void search(PatientSearch by, const std::string& text);
  // Lists, in the search's order, only the patients the text is found in: in
  // the chart number or the name by chart number, in the last name (a comma
  // then the first name) by name, in the number itself by the others.
  void filter(PatientSearch by, const std::string& text);
  PatientSearch searchedBy() const { return by_; }
  // The next rows of the list; empty at the end.
  std::vector<store::Record> nextPage(std::size_t limit);
  std::int64_t patientCount();

  // The cases of a patient by case number.
  std::vector<store::Record> casesOf(const std::string& chartNumber);
  // "List of cases for: SMITH, JOHN"
  static std::string casesCaption(const store::Record& patient);

  // Only one case window is open at a time; a copy asks first.
  void caseWindowOpened() { ++openCaseWindows_; }
  void caseWindowClosed() { --openCaseWindows_; }
  // False with the system's message while a case window is open.
  bool mayOpenAnotherCaseWindow();

 private:
  store::Connection& practice_;
  ui::Prompter& prompter_;
  [[maybe_unused]] security::Security* security_;  // kept for the deletes to come
  store::Table patients_;
  store::PageCursor cursor_;
  PatientSearch by_ = PatientSearch::ChartNumber;
  int openCaseWindows_ = 0;
};

}  // namespace vantrell::accounts
