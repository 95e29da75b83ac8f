#include "report_output.hpp"

#include <fstream>
#include <iostream>

#include <fmt/format.h>

#include "command_line.hpp"
#include "context.hpp"
#include "pdf_renderer.hpp"

namespace vantrell::cli {

void addReportOutputOptions(CLI::App* verb, const std::shared_ptr<ReportOutput>& output) {
  auto* pdf = verb->add_option("--pdf", output->pdf, "writes the report's pages to this PDF file");
  auto* csv =
      verb->add_option("--csv", output->csv, "writes the rows with a header row to this CSV file");
  pdf->excludes(csv);
}

namespace {

Json valueJson(const reports::Value& value) {
  switch (value.kind()) {
    case reports::Value::Kind::Blank:
      return nullptr;
    case reports::Value::Kind::Text:
      return value.text();
    case reports::Value::Kind::Amount:
      return moneyJson(value.amount());
    case reports::Value::Kind::Count:
      return value.number();
  }
  return nullptr;
}

Json cellsJson(const reports::Report& report, const std::vector<reports::Value>& cells) {
  Json object = Json::object();
  for (std::size_t index = 0; index < report.columns.size() && index < cells.size(); ++index)
    object[report.columns[index].title] = valueJson(cells[index]);
  return object;
}

// A total names only the columns it totals.
Json totalCellsJson(const reports::Report& report, const std::vector<reports::Value>& cells) {
  Json object = Json::object();
  for (std::size_t index = 1; index < report.columns.size() && index < cells.size(); ++index)
    if (!cells[index].isBlank()) object[report.columns[index].title] = valueJson(cells[index]);
  return object;
}

Json totalsJson(const reports::Report& report, const std::vector<reports::TotalRow>& totals) {
  Json array = Json::array();
  for (const reports::TotalRow& total : totals) {
    // The label stands where the first column is; that column holds no total.
    Json labelled = Json::object();
    labelled["label"] = total.label;
    labelled.update(totalCellsJson(report, total.cells));
    array.push_back(labelled);
  }
  return array;
}

Json groupJson(const reports::Report& report, const reports::Group& group) {
  Json object = Json::object();
  object["key"] = group.key;
  object["title"] = group.title;
  if (!group.groups.empty()) {
    Json inner = Json::array();
    for (const reports::Group& child : group.groups) inner.push_back(groupJson(report, child));
    object["groups"] = inner;
  }
  object["totals"] = totalsJson(report, group.totals);
  return object;
}

}  // namespace

Json reportJson(const reports::Report& report) {
  Json out = Json::object();
  out["practice"] = report.header.practiceName;
  out["title"] = report.header.title;
  out["ranges"] = report.header.ranges;
  out["runDate"] = report.header.runDate.toIso();
  Json rows = Json::array();
  for (const reports::Report::FlatRow& flat : report.flatRows()) {
    Json row = Json::object();
    for (std::size_t level = 0; level < report.groupLevels.size(); ++level)
      row[report.groupLevels[level]] = level < flat.path.size() ? flat.path[level]->key : "";
    row.update(cellsJson(report, flat.row->cells));
    if (!flat.row->notes.empty()) row["notes"] = flat.row->notes;
    rows.push_back(row);
  }
  out["rows"] = rows;
  if (!report.groups.empty()) {
    Json groups = Json::array();
    for (const reports::Group& group : report.groups) groups.push_back(groupJson(report, group));
    out["groups"] = groups;
  }
  out["totals"] = totalsJson(report, report.totals);
  Json summary = Json::array();
  for (const reports::SummaryLine& line : report.summary) {
    Json object = Json::object();
    object["label"] = line.label;
    object["value"] = valueJson(line.value);
    summary.push_back(object);
  }
  out["summary"] = summary;
  if (!report.footnotes.empty()) out["footnotes"] = report.footnotes;
  return out;
}

int writeReport(Context& context, const reports::Report& report, const ReportOutput& output) {
  if (!output.pdf.empty()) {
    pdf::writePdf(reports::reportDocument(report), output.pdf);
    if (!context.json()) fmt::print("Wrote {}\n", output.pdf);
    return done;
  }
  if (!output.csv.empty()) {
    std::ofstream file(output.csv, std::ios::binary | std::ios::trunc);
    file << reports::reportCsv(report);
    file.close();
    if (!file) throw UsageError(fmt::format("Cannot write \"{}\".", output.csv));
    if (!context.json()) fmt::print("Wrote {}\n", output.csv);
    return done;
  }
  if (context.json()) {
    printJson(reportJson(report));
    return done;
  }
  std::cout << reports::reportText(report);
  return done;
}

}  // namespace vantrell::cli
