#include "pdf_preview_window.hpp"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QSaveFile>
#include <QToolBar>
#include <algorithm>

#include "record_form.hpp"

#ifdef VANTRELL_PRINT_SUPPORT
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#endif

namespace vantrell::desktop {
namespace {

constexpr qreal zoomStep = 1.25;
constexpr qreal smallestZoom = 0.25;
constexpr qreal largestZoom = 4.0;

}  // namespace

PdfPreviewWindow::PdfPreviewWindow(const QString& pdfPath, QWidget* parent)
    : QMainWindow(parent),
      path_(pdfPath),
      document_(new QPdfDocument(this)),
      view_(new QPdfView(this)),
      pageLabel_(new QLabel(this)) {
  setObjectName("PdfPreview");
  setWindowTitle("Print Preview - " + QFileInfo(pdfPath).fileName());
  document_->load(pdfPath);
  view_->setObjectName("pages");
  view_->setDocument(document_);
  view_->setPageMode(QPdfView::PageMode::SinglePage);
  view_->setZoomMode(QPdfView::ZoomMode::FitInView);
  setCentralWidget(view_);
  pageLabel_->setObjectName("pageNumber");

  QToolBar* tools = addToolBar("Preview");
  tools->setMovable(false);
  const auto action = [&](const QString& text, const QList<QKeySequence>& keys, auto slot) {
    QAction* added = tools->addAction(text);
    added->setShortcuts(keys);
    // The keys work wherever the focus is in the window, the pages included.
    added->setShortcutContext(Qt::WindowShortcut);
    connect(added, &QAction::triggered, this, slot);
    return added;
  };
  action("&First", {QKeySequence(Qt::Key_Home)}, [this] { goToPage(0); });
  action("&Previous", {QKeySequence(Qt::Key_PageUp)}, [this] { previousPage(); });
  tools->addWidget(pageLabel_);
  action("&Next", {QKeySequence(Qt::Key_PageDown)}, [this] { nextPage(); });
  action("&Last", {QKeySequence(Qt::Key_End)}, [this] { goToPage(pageCount() - 1); });
  tools->addSeparator();
  action("Zoom &In", {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
         [this] { zoomIn(); });
  action("Zoom &Out", {QKeySequence::ZoomOut}, [this] { zoomOut(); });
  action("Fit &Width", {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { fitWidth(); });
  tools->addSeparator();
#ifdef VANTRELL_PRINT_SUPPORT
  action("&Print...", {QKeySequence::Print}, [this] { print(); });
#endif
  action("&Save As...", {QKeySequence::SaveAs, QKeySequence::Save}, [this] { saveAs(); });
  action("&Close", {QKeySequence(Qt::Key_Escape)}, [this] { close(); });

  // A page's height where the screen has it; a laptop's screen is less tall than that.
  fitOnScreen(*this, QSize(760, 900));
  showPage();
}

bool PdfPreviewWindow::isLoaded() const {
  return document_->status() == QPdfDocument::Status::Ready;
}
int PdfPreviewWindow::pageCount() const {
  return document_->pageCount();
}
int PdfPreviewWindow::currentPage() const {
  return page_;
}
qreal PdfPreviewWindow::zoom() const {
  return view_->zoomFactor();
}

QString PdfPreviewWindow::pageText() const {
  return QString("Page %1 of %2").arg(pageCount() == 0 ? 0 : page_ + 1).arg(pageCount());
}

void PdfPreviewWindow::goToPage(int page) {
  if (pageCount() == 0) return;
  page_ = std::clamp(page, 0, pageCount() - 1);
  showPage();
}

void PdfPreviewWindow::showPage() {
  if (pageCount() > 0) view_->pageNavigator()->jump(page_, QPointF(), view_->zoomFactor());
  pageLabel_->setText(" " + pageText() + " ");
}

void PdfPreviewWindow::zoomIn() {
  view_->setZoomMode(QPdfView::ZoomMode::Custom);
  view_->setZoomFactor(std::min(largestZoom, view_->zoomFactor() * zoomStep));
}

void PdfPreviewWindow::zoomOut() {
  view_->setZoomMode(QPdfView::ZoomMode::Custom);
  view_->setZoomFactor(std::max(smallestZoom, view_->zoomFactor() / zoomStep));
}

void PdfPreviewWindow::fitWidth() {
  view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
}

bool PdfPreviewWindow::saveCopy(const QString& target) {
  QFile source(path_);
  QSaveFile copy(target);
  if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly) ||
      copy.write(source.readAll()) != source.size() || !copy.commit()) {
    QMessageBox::warning(
        this, windowTitle(),
        "The file " + target + " could not be written: " +
            (copy.errorString().isEmpty() ? source.errorString() : copy.errorString()));
    return false;
  }
  return true;
}

void PdfPreviewWindow::saveAs() {
  const QString target = QFileDialog::getSaveFileName(this, "Save As", QFileInfo(path_).fileName(),
                                                      "PDF files (*.pdf)");
  if (!target.isEmpty()) saveCopy(target);
}

void PdfPreviewWindow::print() {
#ifdef VANTRELL_PRINT_SUPPORT
  QPrinter printer(QPrinter::HighResolution);
  printer.setFromTo(1, pageCount());
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  int first = 0;
  int last = pageCount() - 1;
  if (printer.printRange() == QPrinter::PageRange) {
    first = std::max(0, printer.fromPage() - 1);
    last = std::min(last, printer.toPage() - 1);
  } else if (printer.printRange() == QPrinter::CurrentPage) {
    first = last = page_;
  }
  QPainter painter(&printer);
  for (int page = first; page <= last; ++page) {
    if (page > first) printer.newPage();
    const QRect area = painter.viewport();
    const QSizeF points = document_->pagePointSize(page);
    // The page drawn at the printer's resolution, as large as the paper allows.
    const QSize size = points.scaled(area.size(), Qt::KeepAspectRatio).toSize();
    painter.drawImage(QRect(area.topLeft(), size), document_->render(page, size));
  }
#endif
}

}  // namespace vantrell::desktop
