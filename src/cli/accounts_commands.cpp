#include <functional>
#include <iostream>
#include <map>
#include <memory>

#include <fmt/format.h>

#include "accounts/case_window.hpp"
#include "accounts/patient_list.hpp"
#include "accounts/patient_window.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::cli {
namespace {

constexpr std::size_t listPage = 500;

void printRecords(const std::vector<store::Record>& rows, JsonArrayWriter* json,
                  const std::function<std::string(const store::Record&)>& describe) {
  for (const auto& row : rows) {
    if (json != nullptr)
      json->add(recordJson(row));
    else
      std::cout << describe(row) << '\n';
  }
}

void printRecord(Context& context, const store::Record& record) {
  if (context.json())
    printJson(recordJson(record));
  else
    std::cout << recordLines(record);
}

struct PatientCommand {
  explicit PatientCommand(Context& given)
      : context(given),
        open(given.openPractice()),
        window(*open.connection, given.prompter(), open.security->clock(), open.security.get(),
               open.options.flag("Numeric")) {}

  int list(accounts::PatientSearch order, const std::string& from) {
    accounts::PatientList list(*open.connection, context.prompter(), open.security.get());
    list.search(order, from);
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    for (auto page = list.nextPage(listPage); !page.empty(); page = list.nextPage(listPage)) {
      printRecords(page, json ? &*json : nullptr, [](const store::Record& row) {
        return fmt::format("{:<8}  {}, {} {}", row.text("Chart Number"), row.text("Last Name"),
                           row.text("First Name"), row.text("Middle Initial"));
      });
    }
    if (json) json->finish();
    return done;
  }

  int add(const Fields& fields) {
    if (!window.startNew()) throw Refused();
    if (!window.setFields(fields)) {
      if (const auto chart = window.takeSwitchedChart())
        std::cerr << "No patient was added; patient " << *chart
                  << " has that social security number.\n";
      throw Refused();
    }
    if (!window.save()) throw Refused();
    if (context.json())
      printJson(recordJson(window.record()));
    else
      std::cout << window.record().text("Chart Number") << '\n';
    return done;
  }

  int show(const std::string& chart) {
    if (!window.open(chart)) throw Refused();
    printRecord(context, window.record());
    return done;
  }

  int edit(const std::string& chart, const Fields& fields) {
    if (!window.open(chart)) throw Refused();
    if (window.isReadOnly() || !window.setFields(fields) || !window.save()) throw Refused();
    if (context.json()) printJson(recordJson(window.record()));
    return done;
  }

  int remove(const std::string& chart) {
    if (!window.remove(chart)) throw Refused();
    if (context.json()) printJson({{"deleted", store::upperAscii(chart)}});
    return done;
  }

  Context& context;
  practice::OpenPractice& open;
  accounts::PatientWindow window;
};

struct CaseCommand {
  explicit CaseCommand(Context& given)
      : context(given),
        open(given.openPractice()),
        window(*open.connection, given.prompter(), open.security->clock(), open.security.get()) {}

  int list(const std::string& chart) {
    // A chart typed wrong is refused, as the ledger and the balance refuse it.
    store::Table patients = open.connection->openTable("QVPAT");
    patients.setOrder("Primary");
    if (!patients.seek({store::Value{store::upperAscii(chart)}})) {
      context.prompter().error("There is no patient with chart number " +
                               store::upperAscii(chart) + ".");
      throw Refused();
    }
    accounts::PatientList list(*open.connection, context.prompter(), open.security.get());
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    printRecords(list.casesOf(chart), json ? &*json : nullptr, [](const store::Record& row) {
      return fmt::format("{:>8}  {}{}", row.integer("Case Number"), row.text("Description"),
                         row.logical("Case Closed") ? "  (closed)" : "");
    });
    if (json) json->finish();
    return done;
  }

  void printNumber() {
    if (context.json())
      printJson(recordJson(window.record()));
    else
      std::cout << window.caseNumber() << '\n';
  }

  int add(const std::string& chart, const Fields& fields) {
    if (!window.startNew(chart) || !window.setFields(fields)) throw Refused();
    if (!window.saveAndClose()) throw Refused();
    printNumber();
    return done;
  }

  int show(std::int64_t number) {
    if (!window.open(number)) throw Refused();
    printRecord(context, window.record());
    return done;
  }

  int edit(std::int64_t number, const Fields& fields) {
    if (!window.open(number) || window.isReadOnly() || !window.setFields(fields) ||
        !window.saveAndClose())
      throw Refused();
    if (context.json()) printJson(recordJson(window.record()));
    return done;
  }

  int copy(std::int64_t number, const Fields& fields) {
    if (!window.copyFrom(number) || !window.setFields(fields) || !window.save()) throw Refused();
    printNumber();
    return done;
  }

  int remove(std::int64_t number) {
    if (!window.remove(number)) throw Refused();
    if (context.json()) printJson({{"deleted", number}});
    return done;
  }

  Context& context;
  practice::OpenPractice& open;
  accounts::CaseWindow window;
};

struct AccountArguments {
  std::string chart;
  std::int64_t caseNumber = 0;
  Fields fields;
  std::string from;
  accounts::PatientSearch order = accounts::PatientSearch::ChartNumber;
};

void addPatientCommands(CLI::App& app, Action& chosen) {
  CLI::App* patient = app.add_subcommand("patient", "patients and guarantors");
  auto arguments = std::make_shared<AccountArguments>();

  CLI::App* list = addVerb(patient, "list", "the patients from FROM on, in the order chosen");
  list->add_option("FROM", arguments->from,
                   "where the list starts: a chart number, or \"SMITH, J\" by name");
  list->add_option_function<std::string>(
      "--order",
      [arguments](const std::string& order) {
        static const std::map<std::string, accounts::PatientSearch> orders = {
            {"chart", accounts::PatientSearch::ChartNumber},
            {"name", accounts::PatientSearch::Name},
            {"ssn", accounts::PatientSearch::SocialSecurityNumber},
            {"id2", accounts::PatientSearch::PatientId2}};
        const auto found = orders.find(order);
        if (found == orders.end())
          throw UsageError("--order takes chart, name, ssn or id2, not \"" + order + "\".");
        arguments->order = found->second;
      },
      "chart, name, ssn or id2 (default chart)");
  onRun(list, chosen, [arguments](Context& context) {
    return PatientCommand(context).list(arguments->order, arguments->from);
  });

  CLI::App* add = addVerb(
      patient, "add",
      "a new patient or guarantor; prints the chart number (made from the name, or the next "
      "number, when not given)");
  addFields(add, arguments->fields, "fields of the patient");
  onRun(add, chosen,
        [arguments](Context& context) { return PatientCommand(context).add(arguments->fields); });

  CLI::App* show = addVerb(patient, "show", "every field of a patient");
  show->add_option("CHART", arguments->chart, "chart number")->required();
  onRun(show, chosen,
        [arguments](Context& context) { return PatientCommand(context).show(arguments->chart); });

  CLI::App* edit = addVerb(patient, "edit", "change a patient");
  edit->add_option("CHART", arguments->chart, "chart number")->required();
  addFields(edit, arguments->fields, "fields to change");
  onRun(edit, chosen, [arguments](Context& context) {
    return PatientCommand(context).edit(arguments->chart, arguments->fields);
  });

  CLI::App* remove = addVerb(patient, "delete",
                             "delete a patient with their cases and ledger (after the question)");
  remove->add_option("CHART", arguments->chart, "chart number")->required();
  onRun(remove, chosen,
        [arguments](Context& context) { return PatientCommand(context).remove(arguments->chart); });
}

void addCaseCommands(CLI::App& app, Action& chosen) {
  CLI::App* cases = app.add_subcommand("case", "the cases of patients");
  auto arguments = std::make_shared<AccountArguments>();

  CLI::App* list = addVerb(cases, "list", "the cases of a patient (--json: every field)");
  list->add_option("--chart", arguments->chart, "chart number")->required();
  onRun(list, chosen,
        [arguments](Context& context) { return CaseCommand(context).list(arguments->chart); });

  CLI::App* add = addVerb(cases, "add", "a new case; prints the case number");
  add->add_option("--chart", arguments->chart, "chart number of the patient")->required();
  addFields(add, arguments->fields, "fields of the case");
  onRun(add, chosen, [arguments](Context& context) {
    return CaseCommand(context).add(arguments->chart, arguments->fields);
  });

  CLI::App* show = addVerb(cases, "show", "every field of a case");
  addWholeNumber(show, "CASE", arguments->caseNumber, "case number")->required();
  onRun(show, chosen,
        [arguments](Context& context) { return CaseCommand(context).show(arguments->caseNumber); });

  CLI::App* edit = addVerb(cases, "edit", "change a case");
  addWholeNumber(edit, "CASE", arguments->caseNumber, "case number")->required();
  addFields(edit, arguments->fields, "fields to change");
  onRun(edit, chosen, [arguments](Context& context) {
    return CaseCommand(context).edit(arguments->caseNumber, arguments->fields);
  });

  CLI::App* copy = addVerb(cases, "copy", "a new case copied from another; prints its number");
  addWholeNumber(copy, "CASE", arguments->caseNumber, "case number to copy")->required();
  addFields(copy, arguments->fields, "fields to change in the copy");
  onRun(copy, chosen, [arguments](Context& context) {
    return CaseCommand(context).copy(arguments->caseNumber, arguments->fields);
  });

  CLI::App* remove = addVerb(cases, "delete", "delete a case (after the question)");
  addWholeNumber(remove, "CASE", arguments->caseNumber, "case number")->required();
  onRun(remove, chosen, [arguments](Context& context) {
    return CaseCommand(context).remove(arguments->caseNumber);
  });
}

}  // namespace

void addAccountsCommands(CLI::App& app, Action& chosen) {
  addPatientCommands(app, chosen);
  addCaseCommands(app, chosen);
}

}  // namespace vantrell::cli
