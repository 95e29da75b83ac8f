#include "record_form.hpp"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <fmt/format.h>

#include "store/errors.hpp"

namespace vantrell::desktop {
namespace {

// A scrolled page that asks for the room its forms need, up to most of the
// screen, so a window opens without scroll bars where it can.
class FittingScrollArea : public QScrollArea {
 public:
  QSize sizeHint() const override {
    if (widget() == nullptr) return QScrollArea::sizeHint();
    QSize wanted = widget()->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth());
    wanted += QSize(verticalScrollBar()->sizeHint().width(), 0);
    if (const QScreen* shown = screen()) {
      const QSize room = shown->availableSize() * 0.85;
      wanted = wanted.boundedTo(room);
    }
    return wanted;
  }
};

// A value as the clerk reads it: amounts with their cents, dates month first
// as in the lists; what is typed is read back either way.
std::string shownText(const store::FieldDefinition& field, const store::Value& value) {
  if (const auto* amount = std::get_if<Money>(&value)) return amount->toString();
  // Amounts kept as floating numbers ("Amount A", "Copayment Amount") read as money too.
  if (const auto* number = std::get_if<double>(&value)) {
    for (const char* money : {"Amount", "Balance", "Deductible", "Charges", "Cost"}) {
      if (field.name.find(money) != std::string::npos) return fmt::format("{:.2f}", *number);
    }
  }
  if (const auto* date = std::get_if<Date>(&value)) return date->toMonthDayYear();
  // A time stamp (Date Modified) reads as its date in the same form, then the time.
  if (const auto* stamp = std::get_if<DateTime>(&value); stamp != nullptr && !stamp->isEmpty()) {
    const std::string iso = stamp->toIso();
    return stamp->date().toMonthDayYear() + iso.substr(iso.find(' '));
  }
  return store::valueToText(value);
}

bool isNumber(store::FieldType type) {
  return type == store::FieldType::Money || type == store::FieldType::Double ||
         type == store::FieldType::Integer || type == store::FieldType::AutoIncrement;
}

}  // namespace

QString fieldLabel(const std::string& fieldName) {
  return QString::fromStdString(fieldName) + ":";
}

RecordForm::RecordForm(store::Record& record, const std::vector<std::string>& fields,
                       QWidget* parent)
    : QWidget(parent),
      record_([&record]() -> const store::Record& { return record; }),
      writable_(&record) {
  build(fields, {});
}

RecordForm::RecordForm(store::Record& record, const std::vector<std::string>& fields,
                       const FieldEntries& entries, QWidget* parent)
    : QWidget(parent),
      record_([&record]() -> const store::Record& { return record; }),
      writable_(&record) {
  build(fields, entries);
}

RecordForm::RecordForm(std::function<const store::Record&()> record,
                       const std::vector<std::string>& fields, FieldExit exit,
                       const FieldEntries& entries, QWidget* parent)
    : QWidget(parent), record_(std::move(record)), exit_(std::move(exit)) {
  build(fields, entries);
}

void RecordForm::build(const std::vector<std::string>& fields, const FieldEntries& entries) {
  auto* layout = new QFormLayout(this);
  layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  const store::TableDefinition& table = record_().table();
  const auto& record = record_;
  for (const auto& name : fields) {
    const auto index = table.fieldIndex(name);
    if (!index) continue;
    const store::FieldDefinition& field = table.field(*index);
    const auto entry = entries.find(field.name);
    const FieldEntry none;
    const FieldEntry& how = entry != entries.end() ? entry->second : none;
    const std::size_t at = bindings_.size();
    Binding binding{*index, nullptr, {},
                    {},     {},      how.readOnly || field.type == store::FieldType::AutoIncrement};
    if (!how.choices.empty()) {
      auto* box = new QComboBox;
      box->setMinimumWidth(100);
      for (const auto& choice : how.choices)
        box->addItem(choice.label, QString::fromStdString(choice.value));
      binding.widget = box;
      binding.read = [box] { return box->currentData().toString().toStdString(); };
      binding.show = [box, record, index = *index] {
        const QString value = QString::fromStdString(store::valueToText(record().value(index)));
        int found = box->findData(value);
        if (found < 0) {
          // A value no list entry has (from an older program) is shown as it is stored.
          box->addItem(value, value);
          found = box->count() - 1;
        }
        box->setCurrentIndex(found);
      };
      binding.setReadOnly = [box](bool readOnly) { box->setEnabled(!readOnly); };
      if (exit_) connect(box, &QComboBox::activated, this, [this, at] { runExit(bindings_[at]); });
      layout->addRow(fieldLabel(field.name), box);
    } else if (field.type == store::FieldType::Logical) {
      auto* box = new QCheckBox(QString::fromStdString(field.name));
      binding.widget = box;
      binding.read = [box] { return std::string(box->isChecked() ? "true" : "false"); };
      binding.show = [box, record, index = *index] {
        const store::Value& value = record().value(index);
        box->setChecked(std::get_if<bool>(&value) != nullptr && std::get<bool>(value));
      };
      binding.setReadOnly = [box](bool readOnly) { box->setEnabled(!readOnly); };
      if (exit_) connect(box, &QCheckBox::clicked, this, [this, at] { runExit(bindings_[at]); });
      layout->addRow(QString(), box);
    } else if (field.type == store::FieldType::Memo) {
      auto* edit = new QPlainTextEdit;
      edit->setTabChangesFocus(true);
      edit->setFixedHeight(70);
      edit->setMinimumWidth(320);
      binding.widget = edit;
      binding.read = [edit] { return edit->toPlainText().toStdString(); };
      binding.show = [edit, record, index = *index] {
        edit->setPlainText(QString::fromStdString(store::valueToText(record().value(index))));
      };
      binding.setReadOnly = [edit](bool readOnly) { edit->setReadOnly(readOnly); };
      layout->addRow(fieldLabel(field.name), edit);
    } else {
      auto* edit = new QLineEdit;
      if (field.type == store::FieldType::Character) {
        edit->setMaxLength(field.width);
        edit->setMinimumWidth(std::min(320, 40 + field.width * 9));
      } else if (field.type == store::FieldType::Timestamp) {
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("0000-00-00 00:00:00") + 16);
      } else {
        edit->setMaximumWidth(120);
      }
      if (isNumber(field.type)) edit->setAlignment(Qt::AlignRight);
      if (how.upperCase) {
        connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& typed) {
          const int cursor = edit->cursorPosition();
          edit->setText(typed.toUpper());
          edit->setCursorPosition(cursor);
        });
      }
      binding.widget = edit;
      binding.read = [edit] { return edit->text().toStdString(); };
      QLabel* referred = nullptr;  // the name of what the code refers to
      if (how.nameOf) {
        referred = new QLabel;
        referred->setObjectName(QString::fromStdString(field.name + " name"));
        referred->setMinimumWidth(180);
      }
      binding.show = [edit, record, index = *index, referred, nameOf = how.nameOf] {
        const std::string code = shownText(record().table().field(index), record().value(index));
        edit->setText(QString::fromStdString(code));
        if (referred != nullptr)
          referred->setText(QString::fromStdString(code.empty() ? "" : nameOf(code)));
      };
      if (exit_)
        connect(edit, &QLineEdit::editingFinished, this, [this, at] { runExit(bindings_[at]); });
      QWidget* row = edit;
      QToolButton* pick = nullptr;
      if (how.pick || referred != nullptr) {
        // The code is typed, or picked (or made) in the code's list window.
        row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(2);
        line->addWidget(edit);
      }
      if (how.pick) {
        auto* line = static_cast<QHBoxLayout*>(row->layout());
        pick = new QToolButton;
        pick->setText("...");
        pick->setObjectName(QString::fromStdString(field.name + " pick"));
        pick->setToolTip(tr("Choose from the list (F2 or F4)"));
        pick->setFocusPolicy(Qt::NoFocus);
        line->addWidget(pick);
        // F2 or F4 in the field opens the list, so the button needs no mouse.
        edit->setProperty("picksWithKey", true);
        edit->installEventFilter(this);
        connect(pick, &QToolButton::clicked, this, [this, at, edit, choose = how.pick] {
          const auto picked = choose(edit->text().trimmed().toStdString());
          if (!picked) return;
          edit->setText(QString::fromStdString(*picked));
          edit->setFocus();
          if (exit_) runExit(bindings_[at]);
        });
      }
      if (row != edit) {
        auto* line = static_cast<QHBoxLayout*>(row->layout());
        if (referred != nullptr) line->addWidget(referred);
        line->addStretch();
      }
      binding.setReadOnly = [edit, pick](bool readOnly) {
        edit->setReadOnly(readOnly);
        if (pick != nullptr) pick->setEnabled(!readOnly);
      };
      layout->addRow(fieldLabel(field.name), row);
    }
    binding.widget->setObjectName(QString::fromStdString(field.name));
    binding.show();
    binding.setReadOnly(binding.fixed);
    // What the system keeps is shown greyed, out of the way of the Tab key.
    if (binding.fixed) binding.widget->setEnabled(false);
    bindings_.push_back(std::move(binding));
  }
}

bool RecordForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->property("picksWithKey").toBool()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* edit = static_cast<QWidget*>(watched);
    if ((key == Qt::Key_F2 || key == Qt::Key_F4) && edit->parentWidget() != nullptr) {
      auto* pick = edit->parentWidget()->findChild<QToolButton*>(edit->objectName() + " pick");
      if (pick != nullptr && pick->isEnabled()) {
        pick->click();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool RecordForm::changed(const Binding& binding) const {
  const std::string typed = binding.read();
  const store::Value& stored = record_().value(binding.field);
  const store::FieldDefinition& field = record_().table().field(binding.field);
  if (typed == store::valueToText(stored) || typed == shownText(field, stored)) return false;
  // An unticked box over an empty logical changes nothing: both read as false.
  return !(typed == "false" && store::isEmptyValue(stored));
}

bool RecordForm::runExit(const Binding& binding) {
  // An exit's message takes the focus from the field, which would leave it again.
  if (exitsHeld_ || inExit_ || !changed(binding)) return true;
  inExit_ = true;
  const std::string name = record_().table().field(binding.field).name;
  const bool accepted = exit_(name, binding.read());
  inExit_ = false;
  // The exit may have kept the old value, cleared it or written it as the system spells it.
  binding.show();
  if (!accepted) {
    QWidget* widget = binding.widget;
    QTimer::singleShot(0, widget, [widget] { widget->setFocus(Qt::OtherFocusReason); });
  }
  return accepted;
}

std::string RecordForm::commit() {
  for (const auto& binding : bindings_) {
    if (!changed(binding)) continue;
    try {
      writable_->setFromText(writable_->table().field(binding.field).name, binding.read());
    } catch (const store::InputError& error) {
      binding.widget->setFocus();
      return error.what();
    }
  }
  return {};
}

bool RecordForm::leaveChangedFields() {
  for (const auto& binding : bindings_) {
    if (!runExit(binding)) return false;
  }
  return true;
}

bool commitForms(const std::vector<RecordForm*>& forms, ui::Prompter& prompter) {
  for (auto* form : forms) {
    if (const std::string refused = form->commit(); !refused.empty()) {
      prompter.error(refused);
      return false;
    }
  }
  return true;
}

bool leaveForms(const std::vector<RecordForm*>& forms) {
  for (auto* form : forms) {
    if (!form->leaveChangedFields()) return false;
  }
  return true;
}

void holdExits(const std::vector<RecordForm*>& forms, bool held) {
  for (auto* form : forms) form->holdExits(held);
}

void RecordForm::reload() {
  for (const auto& binding : bindings_) binding.show();
}

void RecordForm::setReadOnly(bool readOnly) {
  for (const auto& binding : bindings_) {
    binding.setReadOnly(readOnly || binding.fixed);
  }
}

QWidget* RecordForm::fieldWidget(const std::string& field) const {
  const auto index = record_().table().fieldIndex(field);
  for (const auto& binding : bindings_) {
    if (index && binding.field == *index) return binding.widget;
  }
  return nullptr;
}

void addSaveKeys(QWidget& window, QAbstractButton* save) {
  // The desktop's theme names standard buttons, with or without an access key
  // ("&Save" on some, "Save" on others): Alt+S saves everywhere.
  if (!save->text().contains('&')) save->setText('&' + save->text());
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    auto* shortcut = new QShortcut(keys, &window, nullptr, nullptr, Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, save, [save] {
      // A window shown read-only has its save button off, and so its keys.
      if (save->isEnabled() && save->isVisible()) save->click();
    });
  }
}

void stackColumnsWhereNarrow(QTabWidget& pages) {
  const QScreen* shown = pages.screen();
  if (shown == nullptr) return;
  int widest = 0;
  for (int page = 0; page < pages.count(); ++page) {
    if (const auto* area = qobject_cast<QScrollArea*>(pages.widget(page)))
      widest = std::max(widest, area->widget()->sizeHint().width());
  }
  // The window's margins, the page's frame and a scroll bar beside the columns.
  const QStyle* style = pages.style();
  const int frame = 2 * (style->pixelMetric(QStyle::PM_LayoutLeftMargin) +
                         style->pixelMetric(QStyle::PM_DefaultFrameWidth)) +
                    style->pixelMetric(QStyle::PM_ScrollBarExtent);
  if (widest + frame <= static_cast<int>(shown->availableSize().width() * 0.95)) return;
  for (int page = 0; page < pages.count(); ++page) {
    const auto* area = qobject_cast<QScrollArea*>(pages.widget(page));
    if (auto* columns =
            area != nullptr ? qobject_cast<QBoxLayout*>(area->widget()->layout()) : nullptr)
      columns->setDirection(QBoxLayout::TopToBottom);
  }
}

void fitOnScreen(QWidget& window, QSize wanted) {
  if (const QScreen* shown = window.screen())
    wanted = wanted.boundedTo(shown->availableSize() * 0.95);
  window.resize(wanted);
}

QWidget* formPage(const std::vector<RecordForm*>& columns) {
  auto* inner = new QWidget;
  auto* layout = new QHBoxLayout(inner);
  for (auto* column : columns) layout->addWidget(column, 0, Qt::AlignTop);
  layout->addStretch();
  auto* area = new FittingScrollArea;
  area->setWidget(inner);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  // A page turned by key puts the focus on its first field, not on the page itself.
  area->setFocusPolicy(Qt::NoFocus);
  return area;
}

}  // namespace vantrell::desktop
