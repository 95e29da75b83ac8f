#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "modal_answers.hpp"

// Driving the windows as a person does: the keys go where the keyboard is (an
// open menu, else the widget with the focus), one at a time.
namespace vantrell::desktop {

inline QWidget* keyTarget() {
  if (QWidget* popup = QApplication::activePopupWidget()) return popup;
  return QApplication::focusWidget();
}

inline void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = keyTarget();
  ASSERT_NE(target, nullptr) << "no widget has the keyboard";
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// Each key goes where the keyboard is at that moment: the first key typed on a
// grid cell opens its editor, which takes the rest.
inline void type(const QString& text) {
  for (const QChar letter : text) {
    QWidget* target = keyTarget();
    ASSERT_NE(target, nullptr) << "no widget has the keyboard";
    QTest::keyClicks(target, QString(letter));
  }
}

inline QWidget* shownWindow(const QString& name) {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == name && window->isVisible()) return window;
  return nullptr;
}

// The window is active for the application, not only for the platform: keys
// typed now reach it.
inline bool hasTheKeyboard(QWidget& window) {
  return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; });
}

// The keyboard back on the window after a message (the offscreen platform has
// no window manager to give it back).
inline bool backTo(QWidget& window) {
  if (QApplication::activeWindow() != &window) window.activateWindow();
  return hasTheKeyboard(window);
}

// The window opens no bigger than the screen it is on: nothing of it out of reach.
inline void expectFitsTheScreen(const QWidget& window) {
  const QSize room = window.screen()->availableSize();
  EXPECT_LE(window.frameGeometry().width(), room.width()) << window.objectName().toStdString();
  EXPECT_LE(window.frameGeometry().height(), room.height()) << window.objectName().toStdString();
}

// Pictures of the windows touched, for a person to look at (VANTRELL_SHOTS).
inline void shoot(QWidget& window, const std::string& name) {
  const char* directory = std::getenv("VANTRELL_SHOTS");
  if (directory == nullptr) return;
  std::filesystem::create_directories(directory);
  window.grab().save(QString::fromStdString((std::filesystem::path(directory) / name).string()));
}

// A message box's answer by key, on the button with that text.
inline testing::ModalAnswers::Answer pressOn(const QString& buttonText) {
  return [buttonText](QWidget& window) {
    auto* box = qobject_cast<QMessageBox*>(&window);
    ASSERT_NE(box, nullptr) << "expected a message, got " << window.objectName().toStdString();
    for (QAbstractButton* button : box->buttons()) {
      if (button->text().remove('&') == buttonText) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        return;
      }
    }
    ADD_FAILURE() << "no button " << buttonText.toStdString() << " on "
                  << box->text().toStdString();
    box->reject();
  };
}

}  // namespace vantrell::desktop
