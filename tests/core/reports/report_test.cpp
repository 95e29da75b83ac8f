#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include <fmt/format.h>
#include <unistd.h>

#include "common/csv.hpp"
#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"
#include "reports/report.hpp"

namespace vantrell::reports {
namespace {

// Two carriers of thirty rows each: more than a page, with group and grand totals.
Report sampleReport() {
  Report report;
  report.header = {
      "Family Practice, Inc.", "Sample Aging", {"As of March 1, 2026"}, Date::fromYmd(2026, 3, 2)};
  report.columns = {{"Chart", Value::Kind::Text, 60},
                    {"Name", Value::Kind::Text, 160},
                    {"Current", Value::Kind::Amount, 80},
                    {"Count", Value::Kind::Count, 50}};
  report.groupLevels = {"Carrier"};
  for (const std::string carrier : {"AET01", "BLU02"}) {
    Group group;
    group.key = carrier;
    group.title = "Carrier " + carrier;
    for (int index = 1; index <= 30; ++index)
      group.rows.push_back({{fmt::format("C{:04}", index), "Name, \"Quoted\"",
                             Money::fromCents(index * 100000 + 5), Value::count(index)},
                            {}});
    group.totals.push_back({"Carrier total", {{}, {}, Money::fromCents(46500150), {}}});
    report.groups.push_back(group);
  }
  report.totals.push_back({"Report total", {{}, {}, Money::fromCents(93000300), {}}});
  return report;
}

TEST(ReportOutputs, PdfAndCsvReadBackAsTheComputedReport) {
  const Report report = sampleReport();
  const auto folder =
      std::filesystem::temp_directory_path() / ("vantrell-report-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto pdf = folder / "report.pdf";
  pdf::writePdf(reportDocument(report), pdf);

  const auto pages = testing::pdfPages(pdf);
  ASSERT_GE(pages.size(), 2u);
  for (std::size_t index = 0; index < pages.size(); ++index) {
    SCOPED_TRACE(index);
    EXPECT_NE(pages[index].find("Family Practice, Inc."), std::string::npos);
    EXPECT_NE(pages[index].find("Sample Aging"), std::string::npos);
    EXPECT_NE(pages[index].find("As of March 1, 2026"), std::string::npos);
    EXPECT_NE(pages[index].find("Current"), std::string::npos);
    EXPECT_NE(pages[index].find(fmt::format("Page {} of {}", index + 1, pages.size())),
              std::string::npos);
  }
  const std::string all = testing::pdfText(pdf);
  EXPECT_NE(testing::lineWith(all, "Report total").find("930,003.00"), std::string::npos);
  EXPECT_NE(testing::lineWith(all, "C0030").find("30,000.05"), std::string::npos);

  // Amounts of one column end at one x, whatever their length.
  std::set<long> rightEdges;
  for (const auto& word : testing::pdfWords(pdf))
    if (word.text == "1,000.05" || word.text == "30,000.05" || word.text == "930,003.00")
      rightEdges.insert(std::lround(word.xMax));
  EXPECT_EQ(rightEdges.size(), 1u);

  std::istringstream csv(reportCsv(report));
  CsvReader reader(csv);
  EXPECT_EQ(*reader.next(),
            (std::vector<std::string>{"Carrier", "Chart", "Name", "Current", "Count"}));
  int records = 0;
  Money sum;
  while (auto record = reader.next()) {
    ++records;
    ASSERT_EQ(record->size(), 5u);
    EXPECT_EQ((*record)[2], "Name, \"Quoted\"");
    sum += *Money::parse((*record)[3]);
    if (records == 31) {
      EXPECT_EQ((*record)[0], "BLU02");
    }
  }
  EXPECT_EQ(records, 60);
  EXPECT_EQ(sum, Money::fromCents(93000300));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vantrell::reports
