#include <map>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "report_output.hpp"
#include "reports/day_sheets.hpp"
#include "security/security.hpp"

namespace vantrell::cli {
namespace {

// The questions as the command line takes them: each range by the field it
// asks about, the two choices as flags.
struct LedgerReportArguments {
  std::string kind = "patient";
  std::map<std::string, std::pair<std::string, std::string>> ranges;
  bool practiceTotals = false;
  bool blankFacility = false;
  std::shared_ptr<ReportOutput> output = std::make_shared<ReportOutput>();
};

reports::LedgerReportKind kindOf(const std::string& kind) {
  if (kind == "procedure") return reports::LedgerReportKind::ProcedureDaySheet;
  if (kind == "payment") return reports::LedgerReportKind::PaymentDaySheet;
  if (kind == "analysis") return reports::LedgerReportKind::PracticeAnalysis;
  return reports::LedgerReportKind::PatientDaySheet;
}

int ledgerReportCommand(Context& context, const LedgerReportArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  const Date today = open.security->clock().today();
  const reports::LedgerReportKind kind = kindOf(arguments.kind);
  reports::LedgerReportDialog dialog(kind, context.prompter(), today, open.security.get());
  if (!dialog.open()) throw Refused();
  for (const auto& [field, range] : arguments.ranges) {
    if (!dialog.setRange(field, range.first, range.second))
      throw UsageError(
          fmt::format("The {} asks no {} question.", reports::ledgerReportTitle(kind), field));
  }
  if (arguments.practiceTotals && !dialog.setChoice(reports::practiceTotalsChoice, "YES")) {
    context.prompter().error(security::Security::accessDenied);
    throw Refused();
  }
  dialog.setChoice(reports::blankFacilityChoice, arguments.blankFacility ? "YES" : "NO");
  const auto selection = dialog.confirm();
  if (!selection) throw Refused();
  const auto report =
      reports::ledgerReport(*open.connection, *selection, context.prompter(), today);
  if (!report || report->empty()) return done;
  return writeReport(context, *report, *arguments.output);
}

// A from and a to option for one question of the dialog.
void addRange(CLI::App* verb, LedgerReportArguments& arguments, const std::string& name,
              const std::string& field, const std::string& what) {
  const auto set = [&arguments, field](bool from) {
    return [&arguments, field, from](const std::string& value) {
      auto& range = arguments.ranges[field];
      (from ? range.first : range.second) = value;
    };
  };
  verb->add_option_function<std::string>("--from-" + name, set(true), what + " from this value");
  verb->add_option_function<std::string>("--to-" + name, set(false), what + " up to this value");
}

void addChoices(CLI::App* verb, LedgerReportArguments& arguments) {
  verb->add_flag("--totals", arguments.practiceTotals,
                 "ends with the practice's accounts receivable totals");
  verb->add_flag("--blank-facility", arguments.blankFacility,
                 "only the transactions without a facility");
  addReportOutputOptions(verb, arguments.output);
}

}  // namespace

void addDaySheetVerbs(CLI::App* report, Action& chosen) {
  auto daySheet = std::make_shared<LedgerReportArguments>();
  CLI::App* sheet = addVerb(report, "day-sheet",
                            "the patient, procedure or payment day sheet of the entries made on "
                            "the given days (today when none are given)");
  sheet->add_option("--kind", daySheet->kind, "patient, procedure or payment")
      ->check(CLI::IsMember({"patient", "procedure", "payment"}));
  addRange(sheet, *daySheet, "date", "Date Created", "entries made (m/d/yyyy or yyyy-mm-dd)");
  addRange(sheet, *daySheet, "service", "Date From", "dates of service");
  addRange(sheet, *daySheet, "chart", "Chart Number", "chart numbers");
  addRange(sheet, *daySheet, "provider", "Attending Provider", "attending providers");
  addRange(sheet, *daySheet, "billing-code", "Billing Code", "the patients' billing codes");
  addRange(sheet, *daySheet, "facility", "Facility", "facilities");
  addRange(sheet, *daySheet, "indicator", "Patient Indicator", "the patients' indicators");
  addRange(sheet, *daySheet, "user", "User Code", "the codes of the users who made the entries");
  addChoices(sheet, *daySheet);
  onRun(sheet, chosen,
        [daySheet](Context& context) { return ledgerReportCommand(context, *daySheet); });

  auto analysis = std::make_shared<LedgerReportArguments>();
  analysis->kind = "analysis";
  CLI::App* practiceAnalysis =
      addVerb(report, "analysis",
              "the practice analysis: amounts, units and net amounts per procedure code and "
              "modifiers, with the summary of every kind of transaction");
  addRange(practiceAnalysis, *analysis, "date", "Date From",
           "dates of service (m/d/yyyy or yyyy-mm-dd)");
  addRange(practiceAnalysis, *analysis, "code", "Procedure Code", "procedure codes");
  addRange(practiceAnalysis, *analysis, "provider", "Attending Provider", "attending providers");
  addRange(practiceAnalysis, *analysis, "chart", "Chart Number", "chart numbers");
  addChoices(practiceAnalysis, *analysis);
  onRun(practiceAnalysis, chosen,
        [analysis](Context& context) { return ledgerReportCommand(context, *analysis); });
}

}  // namespace vantrell::cli
