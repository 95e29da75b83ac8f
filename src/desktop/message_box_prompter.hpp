#pragma once

#include <QWidget>

#include "ui/prompter.hpp"

namespace vantrell::desktop {

// The Prompter of the desktop: modal message boxes that show the system's
// texts unchanged.
class MessageBoxPrompter final : public ui::Prompter {
 public:
  explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  void inform(const std::string& text) override;
  void warn(const std::string& text) override;
  void error(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  bool askOkCancel(const std::string& text) override;
  int choose(const std::string& title, const std::string& text, const std::vector<std::string>& choices) override;
  std::optional<std::string> askText(const std::string& text, const std::string& initial) override;

  static constexpr const char* title = "QelVantrell";

 private:
  QWidget* parent_;
};

}  // namespace vantrell::desktop
