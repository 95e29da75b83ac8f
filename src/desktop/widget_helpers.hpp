#pragma once

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
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

// A field or a choice that tests find under its name.
inline QLineEdit* namedEdit(const char* name, int maximumWidth = 0) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  if (maximumWidth > 0) edit->setMaximumWidth(maximumWidth);
  return edit;
}

inline QComboBox* namedCombo(const char* name, const QStringList& items, bool editable = false) {
  auto* combo = new QComboBox;
  combo->setObjectName(name);
  combo->addItems(items);
  combo->setEditable(editable);
  if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

}  // namespace vantrell::desktop
