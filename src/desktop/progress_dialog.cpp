#include "progress_dialog.hpp"

#include <QApplication>

namespace vantrell::desktop {

void ProgressDialog::begin(const std::string& caption, std::int64_t total) {
  total_ = total;
  dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(caption), QObject::tr("&Abort"), 0,
                                              total > 0 ? 1000 : 0, parent_);
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->setMinimumDuration(300);
  dialog_->setValue(0);
}

bool ProgressDialog::advance(std::int64_t done) {
  if (!dialog_) return true;
  if (total_ > 0) dialog_->setValue(static_cast<int>(done * 1000 / total_));
  QApplication::processEvents();
  return !dialog_->wasCanceled();
}

void ProgressDialog::end() { dialog_.reset(); }

}  // namespace vantrell::desktop
