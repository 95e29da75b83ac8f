#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "report_output.hpp"
#include "reports/aging.hpp"
#include "ui/clock.hpp"

namespace vantrell::cli {
namespace {

// Insurance Aging Reports in the permission list.
constexpr int insuranceAgingPermission = 214;

struct AgingArguments {
  std::string kind = "patient";
  std::string asOf;
  std::string fromDate;
  std::string fromService;
  std::string toService;
  reports::AgingQuestions questions;
  bool addToWorkList = false;
};

Date parseDate(const std::string& text, const std::string& option) {
  const auto date = Date::parse(text);
  if (!date || date->isEmpty())
    throw UsageError(fmt::format("{} takes a date (MM/DD/YYYY), not \"{}\".", option, text));
  return *date;
}

reports::AgingKind kindOf(const std::string& name, bool detail) {
  using reports::AgingKind;
  if (name == "patient") return AgingKind::Patient;
  if (name == "applied") return AgingKind::AppliedPatient;
  if (name == "primary") return AgingKind::Primary;
  if (name == "secondary") return AgingKind::Secondary;
  if (name == "tertiary") return AgingKind::Tertiary;
  if (name == "remainder") return detail ? AgingKind::RemainderDetail : AgingKind::Remainder;
  return AgingKind::GuarantorRemainder;
}

int runAging(Context& context, AgingArguments arguments, const ReportOutput& output) {
  auto& open = context.openPractice();
  const reports::AgingKind kind = kindOf(arguments.kind, arguments.questions.detail);
  if (kind == reports::AgingKind::Primary || kind == reports::AgingKind::Secondary ||
      kind == reports::AgingKind::Tertiary)
    context.require(insuranceAgingPermission);
  ui::SystemClock clock;
  reports::AgingWindow window(*open.connection, reports::AgingSettings::read(open.options),
                              context.prompter(), clock, kind);
  window.questions() = arguments.questions;
  if (!arguments.asOf.empty())
    window.questions().agingDate.to = parseDate(arguments.asOf, "--as-of");
  if (!arguments.fromDate.empty())
    window.questions().agingDate.from = parseDate(arguments.fromDate, "--from-date");
  if (!arguments.fromService.empty())
    window.questions().serviceDate.from = parseDate(arguments.fromService, "--from-service");
  if (!arguments.toService.empty())
    window.questions().serviceDate.to = parseDate(arguments.toService, "--to-service");
  window.questions().addToWorkList = arguments.addToWorkList;
  const auto report = window.run();
  if (window.refused()) throw Refused();
  if (!report) return done;
  const int code = writeReport(context, *report, output);
  const std::int64_t added = window.close();
  if (added > 0 && !context.json()) fmt::print(stderr, "Added {} work-list items.\n", added);
  return code;
}

}  // namespace

void addAgingVerbs(CLI::App* report, Action& chosen) {
  auto arguments = std::make_shared<AgingArguments>();
  auto output = std::make_shared<ReportOutput>();
  CLI::App* aging = report->add_subcommand(
      "aging", "what is owed by age: patient, applied, insurance by position, or remainder aging");
  aging
      ->add_option("--kind", arguments->kind,
                   "patient, applied, primary, secondary, tertiary, remainder or "
                   "guarantor-remainder (default patient)")
      ->check(CLI::IsMember({"patient", "applied", "primary", "secondary", "tertiary", "remainder",
                             "guarantor-remainder"}));
  aging->add_option("--as-of", arguments->asOf,
                    "report date, MM/DD/YYYY (default today); the end of the aging date range");
  aging->add_option("--from-date", arguments->fromDate,
                    "start of the aging date range (charge date, statement date or billing date)");
  aging->add_option("--from-chart", arguments->questions.chart.from, "first chart number");
  aging->add_option("--to-chart", arguments->questions.chart.to, "last chart number");
  aging->add_option("--from-provider", arguments->questions.provider.from,
                    "first attending provider of the charges");
  aging->add_option("--to-provider", arguments->questions.provider.to,
                    "last attending provider of the charges");
  aging->add_option("--from-billing-code", arguments->questions.billingCode.from,
                    "first billing code of the patients");
  aging->add_option("--to-billing-code", arguments->questions.billingCode.to,
                    "last billing code of the patients");
  aging
      ->add_option("--patient-indicator", arguments->questions.patientIndicator.from,
                   "only patients with this indicator")
      ->each([arguments](const std::string& text) {
        arguments->questions.patientIndicator.to = text;
      });
  aging->add_option("--from-service", arguments->fromService,
                    "first date of service, MM/DD/YYYY (remainder aging)");
  aging->add_option("--to-service", arguments->toService,
                    "last date of service, MM/DD/YYYY (remainder aging)");
  aging->add_option("--from-carrier", arguments->questions.carrier.from,
                    "first insurance carrier (insurance aging)");
  aging->add_option("--to-carrier", arguments->questions.carrier.to,
                    "last insurance carrier (insurance aging)");
  aging->add_flag("--blank-facility", arguments->questions.blankFacility,
                  "only charges without a facility (insurance aging)");
  aging->add_flag("--detail", arguments->questions.detail,
                  "a line per charge (insurance and remainder aging)");
  aging->add_flag("--add-to-work-list", arguments->addToWorkList,
                  "offers to put every printed account on the work list (with --yes: does)");
  addReportOutputOptions(aging, output);
  onRun(aging, chosen,
        [arguments, output](Context& context) { return runAging(context, *arguments, *output); });
}

}  // namespace vantrell::cli
