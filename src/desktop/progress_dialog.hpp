#pragma once

#include <QProgressDialog>
#include <memory>

#include "ui/progress.hpp"

namespace vantrell::desktop {

// Long runs show a progress dialog with an Abort button.
class ProgressDialog final : public ui::Progress {
 public:
  explicit ProgressDialog(QWidget* parent) : parent_(parent) {}
  void begin(const std::string& caption, std::int64_t total) override;
  bool advance(std::int64_t done) override;
  void end() override;

 private:
  QWidget* parent_;
  std::unique_ptr<QProgressDialog> dialog_;
  std::int64_t total_ = 0;
};

}  // namespace vantrell::desktop
