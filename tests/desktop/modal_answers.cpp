#include "modal_answers.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vantrell::testing {

namespace {

std::string nameOf(const QWidget& window) {
  std::string name = window.metaObject()->className();
  if (!window.objectName().isEmpty()) name += " \"" + window.objectName().toStdString() + "\"";
  if (!window.windowTitle().isEmpty())
    name += " titled \"" + window.windowTitle().toStdString() + "\"";
  if (const auto* box = qobject_cast<const QMessageBox*>(&window))
    name += " saying \"" + box->text().toStdString() + "\"";
  return name;
}

// Tells when a window is hidden: shown again, it is a new window to answer,
// even when no poll saw it hidden in between.
class HideWatcher final : public QObject {
 public:
  explicit HideWatcher(std::function<void(QObject*)> hidden) : hidden_(std::move(hidden)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) hidden_(watched);
    return false;
  }

 private:
  std::function<void(QObject*)> hidden_;
};

// How many ModalAnswers::run are answering windows now: their windows are theirs, not the
// watchdog's.
int answering = 0;

}  // namespace

ModalAnswers::~ModalAnswers() = default;

ModalAnswers::ModalAnswers() : patience_(std::chrono::seconds(10)) {
  if (const char* seconds = std::getenv("VANTRELL_MODAL_WAIT_SECONDS"))
    patience_ = std::chrono::seconds(std::max(1, std::atoi(seconds)));
}

void ModalAnswers::then(Answer answer, std::source_location where) {
  steps_.push_back(
      Step{std::move(answer), std::filesystem::path(where.file_name()).filename().string() + ":" +
                                  std::to_string(where.line())});
}

std::string ModalAnswers::describe(std::size_t step) const {
  return "step " + std::to_string(step + 1) + " of " + std::to_string(steps_.size()) + " (" +
         steps_[step].where + ")";
}

void ModalAnswers::run(const std::function<void()>& action) {
  hideWatcher_ = std::make_unique<HideWatcher>([this](QObject* window) {
    if (answered_.data() == window) answered_ = nullptr;
  });
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { poll(); });
  waitingSince_ = std::chrono::steady_clock::now();
  timer_->start(20);
  ++answering;
  action();
  --answering;
  timer_->stop();
  if (!givingUp_ && next_ < steps_.size())
    ADD_FAILURE() << "The action ended before a modal window came for " << describe(next_) << ".";
}

void ModalAnswers::giveUp(const std::string& why) {
  ADD_FAILURE() << why;
  givingUp_ = true;
}

void ModalAnswers::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (givingUp_) {
    // Close whatever is up until the action returns.
    if (modal == nullptr) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    return;
  }
  if (answered_ != nullptr && !answered_->isVisible()) answered_ = nullptr;
  // A progress meter is work going on, not a window to answer.
  if (qobject_cast<QProgressDialog*>(modal) != nullptr) {
    waitingSince_ = std::chrono::steady_clock::now();
    return;
  }
  const bool fresh = modal != nullptr && modal != answered_.data() && modal->isVisible();
  const auto waited = std::chrono::steady_clock::now() - waitingSince_;
  if (!fresh) {
    candidate_ = nullptr;
    if (waited < patience_) return;
    if (next_ < steps_.size()) {
      giveUp(
          "Waited " +
          QString::number(std::chrono::duration<double>(patience_).count(), 'g', 3).toStdString() +
          " s for the modal window of " + describe(next_) + "; " +
          (modal != nullptr ? "the window up is the one already answered: " + nameOf(*modal)
                            : std::string("no modal window is up")) +
          ".");
    } else if (modal != nullptr) {
      giveUp("A modal window stayed up after the last answer: " + nameOf(*modal) + ".");
    }
    return;
  }
  if (next_ >= steps_.size()) {
    if (waited >= patience_)
      giveUp("A modal window came that no step answers: " + nameOf(*modal) + ".");
    return;
  }
  // A window is answered once two polls in a row find it on top: a window
  // that comes to the top only while a dialog below it is closing (its event
  // loop ending) must not be answered before that dialog's caller goes on.
  if (candidate_.data() != modal) {
    candidate_ = modal;
    return;
  }
  candidate_ = nullptr;
  answered_ = modal;
  modal->installEventFilter(hideWatcher_.get());
  waitingSince_ = std::chrono::steady_clock::now();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) seen_.push_back(box->text().toStdString());
  if (std::getenv("VANTRELL_DEBUG_MODALS") != nullptr)
    std::fprintf(stderr, "%s answers %s\n", describe(next_).c_str(), nameOf(*modal).c_str());
  // Answered from a fresh turn of the event loop: an answer that opens the
  // next modal window must not run inside this timer, which would then be
  // blocked for as long as that window is up.
  QPointer<QWidget> window(modal);
  Answer answer = steps_[next_++].answer;
  QTimer::singleShot(0, [window, answer] {
    if (window) answer(*window);
  });
}

ModalAnswers::Answer ModalAnswers::clickButton(const QString& text) {
  return [text](QWidget& window) {
    for (auto* button : window.findChildren<QAbstractButton*>()) {
      if (button->text().remove('&') == QString(text).remove('&')) {
        button->click();
        return;
      }
    }
    ADD_FAILURE() << "No button \"" << text.toStdString() << "\" in " << nameOf(window) << ".";
    window.close();
  };
}

bool pressAccessKey(QWidget& window, Qt::Key letter) {
  if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 3000)) {
    ADD_FAILURE() << nameOf(window) << " never took the keyboard for Alt+"
                  << QKeySequence(letter).toString().toStdString();
    return false;
  }
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target != nullptr ? target : &window, letter, Qt::AltModifier);
  // The click runs from the event loop; what it opens may block until answered,
  // and the window may be gone afterwards.
  const QPointer<QWidget> shown(&window);
  const bool released = QTest::qWaitFor(
      [&] {
        if (shown.isNull() || shown->isHidden()) return true;
        const auto buttons = shown->findChildren<QAbstractButton*>();
        return std::none_of(buttons.begin(), buttons.end(),
                            [](const QAbstractButton* button) { return button->isDown(); });
      },
      3000);
  if (!released)
    ADD_FAILURE() << "a button of " << nameOf(window) << " stayed down after Alt+"
                  << QKeySequence(letter).toString().toStdString();
  return true;
}

ModalWatchdog::ModalWatchdog(std::chrono::milliseconds patience)
    : patience_(patience), timer_(std::make_unique<QTimer>()) {
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { poll(); });
  timer_->start(50);
}

ModalWatchdog::~ModalWatchdog() = default;

void ModalWatchdog::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  // A progress meter is work going on, not a window to answer.
  if (answering > 0 || modal == nullptr || !modal->isVisible() ||
      qobject_cast<QProgressDialog*>(modal) != nullptr) {
    waitingOn_ = nullptr;
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (waitingOn_.data() != modal) {
    waitingOn_ = modal;
    since_ = now;
    return;
  }
  if (now - since_ < patience_) return;
  waitingOn_ = nullptr;
  ADD_FAILURE() << "A modal window stayed up " +
                       QString::number(std::chrono::duration<double>(patience_).count(), 'g', 3)
                           .toStdString() +
                       " s with nothing to answer it (opened outside ModalAnswers::run?): " +
                       nameOf(*modal) + ".";
  if (auto* dialog = qobject_cast<QDialog*>(modal))
    dialog->reject();
  else
    modal->close();
}

}  // namespace vantrell::testing
