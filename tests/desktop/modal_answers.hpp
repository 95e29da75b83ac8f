#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrell::testing {

// Answers the modal windows a test's action opens, in order: each answer runs
// once a new modal window is up, and sees it.
class ModalAnswers {
 public:
  using Answer = std::function<void(QWidget&)>;

  void then(Answer answer) { answers_.push_back(std::move(answer)); }
  // Runs the action (which opens modal windows) while the answers are given.
  void run(const std::function<void()>& action);
  // The texts of the message boxes that were answered, in order.
  const std::vector<std::string>& seen() const { return seen_; }

  // Common answers.
  static Answer clickButton(const QString& text);

 private:
  void poll();

  std::vector<Answer> answers_;
  std::size_t next_ = 0;
  QWidget* answered_ = nullptr;
  std::vector<std::string> seen_;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace vantrell::testing
