#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <source_location>
#include <string>
#include <vector>

namespace vantrell::testing {

// Answers the modal windows a test's action opens, in order: each answer runs
// once a new modal window is up, and sees it. A step whose window does not
// come within a few seconds, or a window that stays up unanswered, fails the
// test naming the step, and every modal window is then closed so the action
// returns instead of waiting for ever.
class ModalAnswers {
 public:
  using Answer = std::function<void(QWidget&)>;

  // The step is named by the line that adds it.
  ModalAnswers();
  ~ModalAnswers();

  void then(Answer answer, std::source_location where = std::source_location::current());
  // Runs the action (which opens modal windows) while the answers are given.
  void run(const std::function<void()>& action);
  // The texts of the message boxes that were answered, in order.
  const std::vector<std::string>& seen() const { return seen_; }

  // Common answers.
  static Answer clickButton(const QString& text);

  // How long a step waits for its window: 10 s, or VANTRELL_MODAL_WAIT_SECONDS.
  void setPatience(std::chrono::milliseconds patience) { patience_ = patience; }

 private:
  struct Step {
    Answer answer;
    std::string where;
  };
  void poll();
  void giveUp(const std::string& why);
  std::string describe(std::size_t step) const;

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QPointer<QWidget> answered_;   // null again once that window is hidden or gone
  QPointer<QWidget> candidate_;  // on top at the last poll, not answered yet
  std::vector<std::string> seen_;
  std::unique_ptr<QTimer> timer_;
  std::unique_ptr<QObject> hideWatcher_;
  std::chrono::steady_clock::time_point waitingSince_;
  bool givingUp_ = false;
  std::chrono::milliseconds patience_;
};

// Presses Alt and a letter in a window as a keyboard does. The access keys of
// buttons belong to the window that holds the keyboard, and a dialog just shown
// may not hold it yet (waiting for it to be "active" also passes while its
// parent still has the keyboard), so this waits until it does, failing within
// seconds naming the window. The key goes to the focused widget; a button's
// access key presses it at once and clicks it a moment later, so this also
// waits until no button of the window is held down. False when the window
// never took the keyboard.
bool pressAccessKey(QWidget& window, Qt::Key letter);

// Watches every test for a modal window that nothing answers (one raised
// outside ModalAnswers::run): after its patience the test fails naming the
// window's title and text, and the window is closed so the run goes on
// instead of waiting for the test timeout. One lives in the tests' main().
class ModalWatchdog {
 public:
  // Polls from the event loop, so it also sees a window whose exec() blocks the test.
  explicit ModalWatchdog(std::chrono::milliseconds patience = std::chrono::seconds(5));
  ~ModalWatchdog();
  ModalWatchdog(const ModalWatchdog&) = delete;
  ModalWatchdog& operator=(const ModalWatchdog&) = delete;

 private:
  void poll();

  std::chrono::milliseconds patience_;
  QPointer<QWidget> waitingOn_;
  std::chrono::steady_clock::time_point since_;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace vantrell::testing
