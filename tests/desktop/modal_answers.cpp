#include "modal_answers.hpp"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <cstdio>
#include <cstdlib>

namespace vantrell::testing {

void ModalAnswers::run(const std::function<void()>& action) {
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { poll(); });
  timer_->start(20);
  action();
  timer_->stop();
}

void ModalAnswers::poll() {
  if (next_ >= answers_.size()) return;
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == answered_ || !modal->isVisible()) return;
  answered_ = modal;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) seen_.push_back(box->text().toStdString());
  // Answered from a fresh turn of the event loop: an answer that opens the
  // next modal window must not run inside this timer, which would then be
  // blocked for as long as that window is up.
  if (std::getenv("VANTRELL_DEBUG_MODALS") != nullptr)
    std::fprintf(stderr, "answering %s (%s)\n", modal->objectName().toUtf8().constData(), modal->metaObject()->className());
  QPointer<QWidget> window(modal);
  Answer answer = answers_[next_++];
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
    window.close();
  };
}

}  // namespace vantrell::testing
