#include "record_form.hpp"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "store/errors.hpp"

namespace vantrell::desktop {

QString fieldLabel(const std::string& fieldName) { return QString::fromStdString(fieldName) + ":"; }

RecordForm::RecordForm(store::Record& record, const std::vector<std::string>& fields, QWidget* parent)
    : QWidget(parent), record_(record) {
  auto* layout = new QFormLayout(this);
  layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  for (const auto& name : fields) {
    const auto index = record.table().fieldIndex(name);
    if (!index) continue;
    const store::FieldDefinition& field = record.table().field(*index);
    Binding binding{*index, nullptr, {}, {}};
    const QString objectName = QString::fromStdString(field.name);
    switch (field.type) {
      case store::FieldType::Logical: {
        auto* box = new QCheckBox(QString::fromStdString(field.name));
        binding.widget = box;
        binding.read = [box] { return std::string(box->isChecked() ? "true" : "false"); };
        binding.show = [box, &record, index = *index] { box->setChecked(std::get_if<bool>(&record.value(index)) != nullptr &&
                                                                         std::get<bool>(record.value(index))); };
        layout->addRow(QString(), box);
        break;
      }
      case store::FieldType::Memo: {
        auto* edit = new QPlainTextEdit;
        edit->setTabChangesFocus(true);
        edit->setFixedHeight(70);
        edit->setMinimumWidth(320);
        binding.widget = edit;
        binding.read = [edit] { return edit->toPlainText().toStdString(); };
        binding.show = [edit, &record, index = *index] {
          edit->setPlainText(QString::fromStdString(store::valueToText(record.value(index))));
        };
        layout->addRow(fieldLabel(field.name), edit);
        break;
      }
      default: {
        auto* edit = new QLineEdit;
        if (field.type == store::FieldType::Character) {
          edit->setMaxLength(field.width);
          edit->setMinimumWidth(std::min(320, 40 + field.width * 9));
        } else {
          edit->setMaximumWidth(120);
        }
        if (field.type == store::FieldType::AutoIncrement) edit->setReadOnly(true);
        binding.widget = edit;
        binding.read = [edit] { return edit->text().toStdString(); };
        binding.show = [edit, &record, index = *index] {
          edit->setText(QString::fromStdString(store::valueToText(record.value(index))));
        };
        layout->addRow(fieldLabel(field.name), edit);
        break;
      }
    }
    binding.widget->setObjectName(objectName);
    binding.show();
    bindings_.push_back(std::move(binding));
  }
}

std::string RecordForm::commit() {
  for (const auto& binding : bindings_) {
    const std::string typed = binding.read();
    const store::Value& stored = record_.value(binding.field);
    if (typed == store::valueToText(stored)) continue;
    // An unticked box over an empty logical changes nothing: both read as false.
    if (typed == "false" && store::isEmptyValue(stored)) continue;
    try {
      record_.setFromText(record_.table().field(binding.field).name, typed);
    } catch (const store::InputError& error) {
      binding.widget->setFocus();
      return error.what();
    }
  }
  return {};
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

void RecordForm::reload() {
  for (const auto& binding : bindings_) binding.show();
}

}  // namespace vantrell::desktop
