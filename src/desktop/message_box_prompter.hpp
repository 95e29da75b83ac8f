#pragma once

#include <QWidget>

#include "ui/prompter.hpp"

namespace vantrell::desktop {

// The Prompter of the desktop: modal message boxes that show the system's
// texts unchanged, titled by their caption.
class MessageBoxPrompter final : public ui::Prompter {
 public:
  explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  int choose(const std::string& title, const std::string& text,
             const std::vector<std::string>& choices) override;
  std::optional<std::string> askText(const std::string& text, const std::string& initial) override;

  static constexpr const char* title = "QelVantrell";

 protected:
  void say(Severity severity, const std::string& caption, const std::string& text) override;
  bool ask(Question question, const std::string& caption, const std::string& text) override;

 private:
  QWidget* parent_;
};

}  // namespace vantrell::desktop
