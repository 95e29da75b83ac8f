#include <functional>
#include <iostream>

#include <fmt/format.h>

#include "accounts/case_window.hpp"
#include "accounts/patient_list.hpp"
#include "accounts/patient_window.hpp"
#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"

namespace vantrell::cli {
namespace {

constexpr std::size_t listPage = 500;

std::int64_t caseNumberArgument(const CommandLine& line) {
  if (line.arguments.size() != 1)
    throw UsageError("case " + line.verb + " needs the case number, for example: case " +
                     line.verb + " 12");
  try {
    std::size_t used = 0;
    const long long number = std::stoll(line.arguments[0], &used);
    if (used == line.arguments[0].size() && number > 0) return number;
  } catch (const std::exception&) {
  }
  throw UsageError("\"" + line.arguments[0] + "\" is not a case number.");
}

std::string chartArgument(const CommandLine& line) {
  if (line.arguments.size() != 1)
    throw UsageError("patient " + line.verb + " needs the chart number, for example: patient " +
                     line.verb + " SMIJO000");
  return line.arguments[0];
}

accounts::PatientSearch searchOrder(const CommandLine& line) {
  const auto order = line.options.find("--order");
  if (order == line.options.end() || order->second == "chart")
    return accounts::PatientSearch::ChartNumber;
  if (order->second == "name") return accounts::PatientSearch::Name;
  if (order->second == "ssn") return accounts::PatientSearch::SocialSecurityNumber;
  if (order->second == "id2") return accounts::PatientSearch::PatientId2;
  throw UsageError("--order takes chart, name, ssn or id2, not \"" + order->second + "\".");
}

void printList(const CommandLine& line, const std::vector<store::Record>& rows, bool& first,
               const std::function<std::string(const store::Record&)>& describe) {
  for (const auto& row : rows) {
    if (line.json)
      std::cout << (first ? "" : ",\n ") << recordJson(row);
    else
      std::cout << describe(row) << '\n';
    first = false;
  }
}

}  // namespace

int patientCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  store::Connection& practice = *open.connection;
  security::Security* security = open.security.get();
  const ui::Clock& clock = security->clock();
  accounts::PatientWindow window(practice, context.prompter(), clock, security,
                                 open.options.flag("Numeric"));

  if (line.verb == "list") {
    accounts::PatientList list(practice, context.prompter(), security);
    list.search(searchOrder(line), line.arguments.empty() ? std::string() : line.arguments[0]);
    bool first = true;
    if (line.json) std::cout << "[";
    for (auto page = list.nextPage(listPage); !page.empty(); page = list.nextPage(listPage)) {
      printList(line, page, first, [](const store::Record& row) {
        return fmt::format("{:<8}  {}, {} {}", row.text("Chart Number"), row.text("Last Name"),
                           row.text("First Name"), row.text("Middle Initial"));
      });
    }
    if (line.json) std::cout << "]\n";
    return done;
  }
  if (line.verb == "add") {
    if (!line.arguments.empty()) throw UsageError("patient add takes FIELD=VALUE pairs only.");
    if (!window.startNew()) throw Refused();
    if (!window.setFields(line.fields)) {
      if (const auto chart = window.takeSwitchedChart())
        std::cerr << "No patient was added; patient " << *chart
                  << " has that social security number.\n";
      throw Refused();
    }
    if (!window.save()) throw Refused();
    std::cout << (line.json ? recordJson(window.record()) : window.record().text("Chart Number"))
              << '\n';
    return done;
  }
  const std::string chart = chartArgument(line);
  if (line.verb == "show") {
    if (!window.open(chart)) throw Refused();
    std::cout << (line.json ? recordJson(window.record()) + "\n" : recordLines(window.record()));
    return done;
  }
  if (line.verb == "edit") {
    if (!window.open(chart)) throw Refused();
    if (window.isReadOnly() || !window.setFields(line.fields) || !window.save()) throw Refused();
    return done;
  }
  if (line.verb == "delete") {
    if (!window.remove(chart)) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"patient " + line.verb +
                   "\". The patient commands are add, edit, delete, "
                   "show and list.");
}

int caseCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  store::Connection& practice = *open.connection;
  security::Security* security = open.security.get();
  accounts::CaseWindow window(practice, context.prompter(), security->clock(), security);
  const auto chartOption = line.options.find("--chart");

  if (line.verb == "list") {
    if (chartOption == line.options.end()) throw UsageError("case list needs --chart CHART.");
    accounts::PatientList list(practice, context.prompter(), security);
    bool first = true;
    if (line.json) std::cout << "[";
    printList(line, list.casesOf(chartOption->second), first, [](const store::Record& row) {
      return fmt::format("{:>8}  {}{}", row.integer("Case Number"), row.text("Description"),
                         row.logical("Case Closed") ? "  (closed)" : "");
    });
    if (line.json) std::cout << "]\n";
    return done;
  }
  const auto printNumber = [&] {
    std::cout << (line.json ? recordJson(window.record()) : std::to_string(window.caseNumber()))
              << '\n';
  };
  if (line.verb == "add") {
    if (chartOption == line.options.end()) throw UsageError("case add needs --chart CHART.");
    if (!window.startNew(chartOption->second) || !window.setFields(line.fields)) throw Refused();
    if (!window.saveAndClose()) throw Refused();
    printNumber();
    return done;
  }
  const std::int64_t number = caseNumberArgument(line);
  if (line.verb == "show") {
    if (!window.open(number)) throw Refused();
    std::cout << (line.json ? recordJson(window.record()) + "\n" : recordLines(window.record()));
    return done;
  }
  if (line.verb == "edit") {
    if (!window.open(number) || window.isReadOnly() || !window.setFields(line.fields) ||
        !window.saveAndClose())
      throw Refused();
    return done;
  }
  if (line.verb == "copy") {
    if (!window.copyFrom(number) || !window.setFields(line.fields) || !window.save())
      throw Refused();
    printNumber();
    return done;
  }
  if (line.verb == "delete") {
    if (!window.remove(number)) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"case " + line.verb +
                   "\". The case commands are add, edit, copy, delete, "
                   "show and list.");
}

}  // namespace vantrell::cli
