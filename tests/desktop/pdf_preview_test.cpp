#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "pdf_preview_window.hpp"
#include "pdf_renderer.hpp"
#include "printing/flow_layout.hpp"

namespace vantrell::desktop {
namespace {

namespace fs = std::filesystem;

// Three pages of a day's charges, each page numbered.
fs::path threePagePdf(const fs::path& folder) {
  printing::Document document(printing::usLetter, "Charges");
  printing::FlowLayout layout(document);
  std::vector<printing::TableRow> rows;
  for (int row = 1; row <= 120; ++row)
    rows.push_back({{"Office visit " + std::to_string(row), Money::fromCents(8000)}});
  layout.table({{"Description", 300}, {"Amount", 100, printing::Align::Right, true}}, rows, {},
               "Total");
  layout.numberPages();
  const fs::path pdf = folder / "charges.pdf";
  pdf::writePdf(document, pdf);
  return pdf;
}

class PdfPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantrell-preview-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(PdfPreviewTest, PagesThroughByKeyZoomsAndSavesACopy) {
  const fs::path pdf = threePagePdf(folder_);
  PdfPreviewWindow window(QString::fromStdString(pdf.string()));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(window.isLoaded());
  ASSERT_EQ(window.pageCount(), 3);
  auto* view = window.findChild<QPdfView*>("pages");
  auto* label = window.findChild<QLabel*>("pageNumber");
  ASSERT_NE(view, nullptr);
  ASSERT_NE(label, nullptr);
  view->setFocus();
  EXPECT_EQ(label->text().trimmed(), "Page 1 of 3");

  // The keys reach the window while the pages have the focus.
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_EQ(view->pageNavigator()->currentPage(), 1);
  EXPECT_EQ(label->text().trimmed(), "Page 2 of 3");
  QTest::keyClick(view, Qt::Key_PageDown);
  QTest::keyClick(view, Qt::Key_PageDown);  // past the last page: stays there
  EXPECT_EQ(view->pageNavigator()->currentPage(), 2);
  EXPECT_EQ(label->text().trimmed(), "Page 3 of 3");
  QTest::keyClick(view, Qt::Key_PageUp);
  EXPECT_EQ(view->pageNavigator()->currentPage(), 1);
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(view->pageNavigator()->currentPage(), 0);
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(view->pageNavigator()->currentPage(), 2);

  const qreal before = view->zoomFactor();
  QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_GT(view->zoomFactor(), before);
  QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_LT(view->zoomFactor(), before);
  QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(view->zoomMode(), QPdfView::ZoomMode::FitToWidth);

  if (const char* keep = std::getenv("VANTRELL_KEEP_PDF")) {
    QTest::keyClick(view, Qt::Key_Home);
    QApplication::processEvents();
    window.grab().save(QString::fromStdString((fs::path(keep) / "pdf-preview.png").string()));
  }

  const QString copy = QString::fromStdString((folder_ / "copy.pdf").string());
  ASSERT_TRUE(window.saveCopy(copy));
  QFile original(QString::fromStdString(pdf.string()));
  QFile saved(copy);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), original.readAll());
}

}  // namespace
}  // namespace vantrell::desktop
