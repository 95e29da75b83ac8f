#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "claims/claim_form.hpp"
#include "claims/print_send.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"

class QComboBox;
class QGroupBox;
class QRadioButton;
class QTableWidget;

namespace vantrell::desktop {

class PdfPreviewWindow;

// What claim output needs beyond the claim windows: the options (billing
// notes), where the sending programs are and how the practice is opened by
// them, and where a preview goes.
struct ClaimOutput {
  const practice::Options* options = nullptr;
  store::DataLocation location;
  std::filesystem::path programFolder;
  std::shared_ptr<claims::CommandRunner> runner;
  // Called with each preview opened; without it the preview is shown.
  std::function<void(PdfPreviewWindow*)> showPreview;
};

// The paper printing options: the claim form and the carrier to bill.
struct PaperChoice {
  claims::ClaimFormPaper paper = claims::ClaimFormPaper::PlainPaper;
  int slot = 1;
};

// "Print/Send Claims": the billing method (Paper preset, or Electronic with a
// receiver), and for paper the form and the carrier. With rebill only the
// paper options are offered, as Rebill prints on paper.
class ClaimPrintSendWindow : public QDialog {
  Q_OBJECT

 public:
  ClaimPrintSendWindow(claims::PrintSendDialog& model, bool rebill, QWidget* parent);
  PaperChoice paper() const;
  // For the claims a payment left due for the next carrier: the paper options
  // only, that carrier fixed.
  void billDue(int slot);

 private:
  void accept() override;

  claims::PrintSendDialog& model_;
  QRadioButton* paperMethod_;
  QRadioButton* electronicMethod_;
  QComboBox* receiver_;
  QComboBox* form_;
  QComboBox* slot_;
};

// Lays the claims' forms out for the slot into a temporary PDF and opens it in
// the preview (the file goes when the preview closes). Returns the claims
// printed: empty when none could be, the reason shown.
std::vector<std::int64_t> previewClaimForms(store::Connection& practice, ui::Prompter& prompter,
                                            const ClaimOutput& output,
                                            const std::vector<std::int64_t>& claims, int slot,
                                            const claims::ClaimFormOptions& options, bool estimate,
                                            QWidget* parent);

// The claims that may not leave, claim by claim: what is wrong and where to fix it. Enter (or
// Edit Claim) opens the claim of the current row in the claim editor.
class RefusedClaimsWindow : public QDialog {
  Q_OBJECT

 public:
  RefusedClaimsWindow(const std::vector<claims::RefusedClaim>& refused,
                      std::function<void(std::int64_t)> openClaim, QWidget* parent);
  void openCurrentClaim();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(std::int64_t)> openClaim_;
  QTableWidget* problems_;
};

}  // namespace vantrell::desktop
