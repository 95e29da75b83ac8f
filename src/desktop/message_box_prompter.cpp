#include "message_box_prompter.hpp"
#include "widget_helpers.hpp"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::desktop {
namespace {

int show(QWidget* parent, QMessageBox::Icon icon, const std::string& caption,
         const std::string& text, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, caption.empty() ? QString(MessageBoxPrompter::title) : qt(caption),
                  qt(text), buttons, parent);
  box.setDefaultButton(defaultButton);
  box.setObjectName("systemMessage");
  return box.exec();
}

}  // namespace

void MessageBoxPrompter::say(Severity severity, const std::string& caption,
                             const std::string& text) {
  const QMessageBox::Icon icon = severity == Severity::Information ? QMessageBox::Information
                                 : severity == Severity::Warning   ? QMessageBox::Warning
                                                                   : QMessageBox::Critical;
  show(parent_, icon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxPrompter::ask(Question question, const std::string& caption,
                             const std::string& text) {
  if (question == Question::YesNo)
    return show(parent_, QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
  return show(parent_, QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
              QMessageBox::Ok) == QMessageBox::Ok;
}

int MessageBoxPrompter::choose(const std::string& windowTitle, const std::string& text,
                               const std::vector<std::string>& choices) {
  QMessageBox box(QMessageBox::Warning, qt(windowTitle), qt(text.empty() ? windowTitle : text),
                  QMessageBox::NoButton, parent_);
  box.setObjectName("systemChoice");
  std::vector<QAbstractButton*> buttons;
  for (const auto& choice : choices)
    buttons.push_back(box.addButton(qt(choice), QMessageBox::ActionRole));
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  }
  return -1;
}

std::optional<std::string> MessageBoxPrompter::askText(const std::string& text,
                                                       const std::string& initial) {
  QDialog dialog(parent_);
  dialog.setObjectName("textQuestion");
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(qt(text));
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* row = new QHBoxLayout;
  auto* edit = new QLineEdit(qt(initial));
  edit->setObjectName("answer");
  edit->setMinimumWidth(380);
  auto* browse = new QPushButton(QObject::tr("&Browse..."));
  row->addWidget(edit);
  row->addWidget(browse);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
    const QString chosen = QFileDialog::getExistingDirectory(&dialog, QString(), edit->text());
    if (!chosen.isEmpty()) edit->setText(chosen);
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text().toStdString();
}

}  // namespace vantrell::desktop
