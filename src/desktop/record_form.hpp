#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/record.hpp"
#include "ui/prompter.hpp"

class QAbstractButton;
class QFormLayout;
class QTabWidget;

namespace vantrell::desktop {

// One entry of a field's fixed list: what the person sees and what is stored.
struct FieldChoice {
  QString label;
  std::string value;
};

// How a field is entered when it is not simply typed.
struct FieldEntry {
  std::vector<FieldChoice> choices;  // a list to choose from
  // A "..." button beside the field: the code picked from a list window, or
  // nothing when the person closed it.
  std::function<std::optional<std::string>(const std::string& current)> pick;
  // The name of what the code refers to, shown beside the field ("" when none).
  std::function<std::string(const std::string& code)> nameOf;
  bool upperCase = false;  // what is typed is shown and taken in upper case
  bool readOnly = false;   // kept by the system, shown only
};
using FieldEntries = std::map<std::string, FieldEntry>;

// The exit of a field in a window model: sets the field as typed and runs its
// checks; false when the value was refused or the person is sent back.
using FieldExit = std::function<bool(const std::string& field, const std::string& text)>;

// A form of fields of one record: a check box for a logical, a line edit
// (limited to the width) for text and numbers, a text box for a memo, a list
// for a field with choices. The form holds no rule. Either it copies values
// into the record as typed and the window model checks them on save, or each
// field left with a changed value goes through the window model's exit, and
// the widget then shows what the record holds.
class RecordForm : public QWidget {
  Q_OBJECT

 public:
  RecordForm(store::Record& record, const std::vector<std::string>& fields,
             QWidget* parent = nullptr);
  // The same with fields chosen from lists.
  RecordForm(store::Record& record, const std::vector<std::string>& fields,
             const FieldEntries& entries, QWidget* parent = nullptr);
  // The record is read through the accessor, since a window model may replace
  // the record it holds (another patient switched to).
  RecordForm(std::function<const store::Record&()> record, const std::vector<std::string>& fields,
             FieldExit exit, const FieldEntries& entries = {}, QWidget* parent = nullptr);

  // Copies every changed widget into the record. Returns the message of the
  // first value the record refuses (naming it), or an empty string.
  std::string commit();
  // Runs the exit of every widget whose value differs from the record's;
  // false at the first refusal, with the focus on that field.
  bool leaveChangedFields();
  // Shows the record's values again (after a save).
  void reload();
  void setReadOnly(bool readOnly);
  // While a window closes its record may be given up: no exit runs on it then,
  // as the focus leaves the field the window hides.
  void holdExits(bool held) { exitsHeld_ = held; }
  QWidget* fieldWidget(const std::string& field) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Binding {
    std::size_t field;
    QWidget* widget;
    std::function<std::string()> read;
    std::function<void()> show;
    std::function<void(bool)> setReadOnly;
    bool fixed;  // never typed into: kept by the system
  };

  void build(const std::vector<std::string>& fields, const FieldEntries& entries);
  bool changed(const Binding& binding) const;
  bool runExit(const Binding& binding);
  void exitLater(std::size_t binding);

  std::function<const store::Record&()> record_;
  store::Record* writable_ = nullptr;  // the record commit() copies into
  FieldExit exit_;
  bool inExit_ = false;
  bool exitsHeld_ = false;
  std::vector<Binding> bindings_;
};

// Copies every form into its record; the first refusal is shown and stops it.
bool commitForms(const std::vector<RecordForm*>& forms, ui::Prompter& prompter);
// Runs the exits of every changed field of the forms; false at the first refusal.
bool leaveForms(const std::vector<RecordForm*>& forms);

// Holds (or frees again) the exits of every form.
void holdExits(const std::vector<RecordForm*>& forms, bool held);

// Where the screen is too narrow for the columns of a window's pages side by
// side, every page puts them one under the other: the clerk scrolls down,
// never sideways to fields cut off at the right. Pages made by formPage.
void stackColumnsWhereNarrow(QTabWidget& pages);

// F9, Ctrl+S and Alt+S press the window's save button from any field of it.
void addSaveKeys(QWidget& window, QAbstractButton* save);

// Forms side by side on one page, scrolled when the window is small.
QWidget* formPage(const std::vector<RecordForm*>& columns);

// Sizes a window to what it wants, within the screen it is on (a window
// sizing itself stops at two thirds of the screen).
void fitOnScreen(QWidget& window, QSize wanted);

// Runs a window model's save, showing an engine failure as a message; true when saved.
template <typename Save>
bool saveShowingFailures(ui::Prompter& prompter, Save save) {
  try {
    return save();
  } catch (const std::exception& error) {
    prompter.error(error.what());
    return false;
  }
}

// The person's label for a field: its display name as the system writes it.
QString fieldLabel(const std::string& fieldName);

}  // namespace vantrell::desktop
