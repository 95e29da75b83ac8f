#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "pdf_renderer.hpp"
#include "printing/document.hpp"
#include "printing/flow_layout.hpp"
#include "printing/pdf_reading.hpp"

namespace vantrell::printing {
namespace {

namespace fs = std::filesystem;
using testing::lineWith;
using testing::pdfPages;
using testing::pdfText;

class PdfRendering : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vantrell-pdf-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
};

// A two-page report: a table of charges with right-aligned amounts of
// different lengths, a total, and page numbers.
Document chargeReport(int rows) {
  Document document(usLetter, "Charges");
  FlowLayout layout(document);
  layout.setHeader([](Page& page, const Frame& margins) {
    page.text(margins.left, margins.top, margins.width(), "Procedure Charges", Font{14, true},
              Align::Center);
    return 28.0;
  });
  std::vector<TableRow> table;
  for (int row = 1; row <= rows; ++row) {
    // 5.00, 55.00, 555.00, 5,555.00 in turn: the right edges must line up.
    std::int64_t cents = 500;
    for (int digits = 1; digits < (row - 1) % 4 + 1; ++digits) cents = cents * 10 + 500;
    table.push_back({{"Office visit " + std::to_string(row), Money::fromCents(cents)}});
  }
  layout.table({{"Description", 250}, {"Amount", 120, Align::Right, true}}, table, {}, "Total");
  layout.numberPages();
  return document;
}

TEST_F(PdfRendering, ReadsBackInOrderWithAmountsRightAlignedAndPagesNumbered) {
  const fs::path pdf = folder_ / "charges.pdf";
  vantrell::pdf::writePdf(chargeReport(60), pdf);
  testing::keepPdf(pdf, "charges.pdf");

  const auto pages = pdfPages(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(pages[0].find("Page 1 of 2"), std::string::npos);
  EXPECT_NE(pages[1].find("Page 2 of 2"), std::string::npos);
  EXPECT_EQ(pages[0].find("Page 2 of 2"), std::string::npos);
  // The heading comes again on the second page.
  EXPECT_NE(pages[1].find("Description"), std::string::npos);
  EXPECT_NE(pages[1].find("Procedure Charges"), std::string::npos);

  const std::string text = pdfText(pdf);
  std::size_t last = 0;
  for (int row = 1; row <= 60; ++row) {
    const std::size_t at = text.find("Office visit " + std::to_string(row) + " ");
    ASSERT_NE(at, std::string::npos) << row;
    EXPECT_GT(at, last) << "row " << row << " out of order";
    last = at;
  }
  // Amounts of one to four digits before the point end in one text column.
  const std::string one = lineWith(text, "Office visit 1 ");
  const std::string four = lineWith(text, "Office visit 4 ");
  ASSERT_NE(one.find("5.00"), std::string::npos);
  ASSERT_NE(four.find("5,555.00"), std::string::npos);
  EXPECT_EQ(one.find_last_not_of(' '), four.find_last_not_of(' ')) << one << "\n" << four;
  EXPECT_LT(one.find("5.00"), one.size());
  EXPECT_GT(one.find("5.00"), four.find("5,555.00"));
  // On the page, the column's heading ends where its amounts end.
  double headingEnd = 0;
  double amountEnd = 0;
  for (const auto& word : testing::pdfWords(pdf)) {
    if (word.page != 1) continue;
    if (word.text == "Amount") headingEnd = word.xMax;
    if (word.text == "5,555.00") amountEnd = word.xMax;
  }
  ASSERT_GT(amountEnd, 0.0);
  EXPECT_NEAR(headingEnd, amountEnd, 0.5);
  // 15 rows of each: 15 x (5 + 55 + 555 + 5,555) = 92,550.00.
  const std::string total = lineWith(text, "Total");
  EXPECT_NE(total.find("92,550.00"), std::string::npos) << total;
  // The total is bold, and pdftotext's character grid may round its wider
  // glyphs one column off; it still ends where the amounts end.
  EXPECT_NEAR(static_cast<double>(total.find_last_not_of(' ')),
              static_cast<double>(four.find_last_not_of(' ')), 1.0);
}

TEST_F(PdfRendering, TextOfBothFacesAndAccentsSurvives) {
  Document document;
  Page& page = document.addPage();
  page.text(72, 72, 300, "Zoë Müller-Ñúñez", Font{12, true});
  page.text(72, 100, 300, "ACCOUNT 0001234", Font{10, false, FontFamily::Mono});
  page.box(60, 60, 320, 60);
  page.line(72, 130, 372, 130, 0.5, true);
  const fs::path pdf = folder_ / "faces.pdf";
  vantrell::pdf::writePdf(document, pdf);
  const std::string text = pdfText(pdf, false);
  EXPECT_NE(text.find("Zoë Müller-Ñúñez"), std::string::npos) << text;
  EXPECT_NE(text.find("ACCOUNT 0001234"), std::string::npos) << text;
}

TEST_F(PdfRendering, AFailedWriteLeavesTheOldFileAndNoLeftovers) {
  const fs::path pdf = folder_ / "kept.pdf";
  vantrell::pdf::writePdf(chargeReport(3), pdf);
  EXPECT_THROW(vantrell::pdf::writePdf(chargeReport(3), folder_ / "missing" / "x.pdf"),
               vantrell::pdf::PdfError);
  EXPECT_EQ(pdfPages(pdf).size(), 1u);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++files;
  EXPECT_EQ(files, 1);
}

// A process killed while it writes a long document leaves the complete file
// that was there before under the name, never a part of the new one.
TEST_F(PdfRendering, AKillWhileWritingNeverLeavesHalfAPdfUnderTheName) {
  const fs::path pdf = folder_ / "statements.pdf";
  vantrell::pdf::writePdf(chargeReport(3), pdf);
  const Document big = chargeReport(40000);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      vantrell::pdf::writePdf(big, pdf);
    } catch (...) {
    }
    ::_exit(0);
  }
  // Kill it once its temporary file has grown, well before it is done.
  bool seen = false;
  for (int wait = 0; wait < 20000 && !seen; ++wait) {
    for (const auto& entry : fs::directory_iterator(folder_))
      if (entry.path().filename().string().rfind(".statements.pdf.", 0) == 0 &&
          fs::file_size(entry.path()) > 4096)
        seen = true;
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(seen) << "the writer never started its temporary file";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer finished before the kill";
  EXPECT_EQ(pdfPages(pdf).size(), 1u);
}

}  // namespace
}  // namespace vantrell::printing
