#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "store/record.hpp"
#include "ui/prompter.hpp"

class QFormLayout;

namespace vantrell::desktop {

// A form of fields of one record: a check box for a logical, a line edit
// (limited to the width) for text and numbers, a text box for a memo. The form
// holds no rule: it copies values into the record as typed, and the window
// model checks them on save.
class RecordForm : public QWidget {
  Q_OBJECT

 public:
  RecordForm(store::Record& record, const std::vector<std::string>& fields, QWidget* parent = nullptr);

  // Copies every changed widget into the record. Returns the message of the
  // first value the record refuses (naming it), or an empty string.
  std::string commit();
  // Shows the record's values again (after a save).
  void reload();

 private:
  struct Binding {
    std::size_t field;
    QWidget* widget;
    std::function<std::string()> read;
    std::function<void()> show;
  };

  store::Record& record_;
  std::vector<Binding> bindings_;
};

// Copies every form into its record; the first refusal is shown and stops it.
bool commitForms(const std::vector<RecordForm*>& forms, ui::Prompter& prompter);

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
