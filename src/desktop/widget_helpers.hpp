#pragma once

#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>
#include <string>

// Small pieces every window of the desktop builds with.
namespace vantrell::desktop {

// The core's UTF-8 text for a widget.
inline QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

// A button of the window's own commands, found by tests under its name. Enter
// belongs to the window's list or fields, never to a button that happens to be
// the default.
inline QPushButton* addButton(QDialogButtonBox* box, const QString& text, const char* name) {
  auto* button = box->addButton(text, QDialogButtonBox::ActionRole);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace vantrell::desktop
