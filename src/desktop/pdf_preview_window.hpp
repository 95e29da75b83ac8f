#pragma once

#include <QMainWindow>
#include <QString>

class QLabel;
class QPdfDocument;
class QPdfView;

namespace vantrell::desktop {

// Shows a PDF the program wrote (statements, later claims and reports) page by
// page: PgUp/PgDn, Home/End, zoom with Ctrl++ and Ctrl+-, Print and Save As.
class PdfPreviewWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit PdfPreviewWindow(const QString& pdfPath, QWidget* parent = nullptr);

  bool isLoaded() const;
  int pageCount() const;
  int currentPage() const;  // from 0
  qreal zoom() const;
  // "Page 2 of 5", as the tool bar shows it.
  QString pageText() const;

  void goToPage(int page);
  void nextPage() { goToPage(currentPage() + 1); }
  void previousPage() { goToPage(currentPage() - 1); }
  void zoomIn();
  void zoomOut();
  void fitWidth();
  // Writes a copy of the PDF to `target`, replacing it only when the copy is
  // complete. False (the reason already shown) when it cannot be written.
  bool saveCopy(const QString& target);

 private:
  void saveAs();
  void print();
  void showPage();

  QString path_;
  QPdfDocument* document_;
  QPdfView* view_;
  QLabel* pageLabel_;
  int page_ = 0;
};

}  // namespace vantrell::desktop
