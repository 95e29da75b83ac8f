#include "practice_dialogs.hpp"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::desktop {

PracticeListDialog::PracticeListDialog(app::Application& application, QWidget* parent)
    : QDialog(parent), application_(application) {
  setObjectName("PracticeList");
  setWindowTitle(tr("Open Practice"));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(tr("&Practices:"));
  layout->addWidget(label);
  list_ = new QListWidget;
  label->setBuddy(list_);
  list_->setObjectName("practices");
  list_->setMinimumSize(420, 220);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox;
  auto* ok = buttons->addButton(QDialogButtonBox::Ok);
  auto* remove = buttons->addButton(tr("&Remove"), QDialogButtonBox::ActionRole);
  auto* newPractice = buttons->addButton(tr("&New..."), QDialogButtonBox::ActionRole);
  auto* tutorial = buttons->addButton(tr("&Tutorial"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  remove->setObjectName("remove");
  newPractice->setObjectName("new");
  tutorial->setObjectName("tutorial");
  layout->addWidget(buttons);
  connect(ok, &QPushButton::clicked, this, &PracticeListDialog::openChosen);
  // Enter goes to OK, the default button; a double click opens as OK does. (Activation
  // would open the practice a second time on the same Enter.)
  connect(list_, &QListWidget::itemDoubleClicked, this, &PracticeListDialog::openChosen);
  connect(remove, &QPushButton::clicked, this, &PracticeListDialog::removeChosen);
  connect(newPractice, &QPushButton::clicked, this, &PracticeListDialog::newPractice);
  connect(tutorial, &QPushButton::clicked, this, &PracticeListDialog::tutorial);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  reload();
}

void PracticeListDialog::reload() {
  entries_ = application_.practiceList().entries();
  list_->clear();
  for (const auto& entry : entries_) {
    auto* item = new QListWidgetItem(QString::fromStdString(entry.name), list_);
    item->setToolTip(QString::fromStdString(practice::PracticeList::hint(entry)));
  }
  if (!entries_.empty()) list_->setCurrentRow(0);
}

void PracticeListDialog::finishWith(practice::OpenOutcome outcome) {
  if (outcome == practice::OpenOutcome::Opened) accept();
  if (outcome == practice::OpenOutcome::QuitProgram) done(QDialog::Rejected);
}

void PracticeListDialog::openChosen() {
  const int row = list_->currentRow();
  if (row < 0) return;
  finishWith(application_.openFromList(entries_[static_cast<std::size_t>(row)]));
}

void PracticeListDialog::removeChosen() {
  const int row = list_->currentRow();
  if (row < 0) return;
  if (application_.removeFromList(entries_[static_cast<std::size_t>(row)])) reload();
}

void PracticeListDialog::tutorial() {
  finishWith(application_.installTutorial());
}

void PracticeListDialog::newPractice() {
  NewPracticeDialog dialog(application_, this);
  if (dialog.exec() == QDialog::Accepted)
    finishWith(dialog.outcome());
  else
    reload();
}

NewPracticeDialog::NewPracticeDialog(app::Application& application, QWidget* parent)
    : QDialog(parent), application_(application) {
  setObjectName("NewPractice");
  setWindowTitle(tr("Create a New Set of Data"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  name_ = new QLineEdit;
  name_->setObjectName("name");
  name_->setMaxLength(35);
  name_->setMinimumWidth(320);
  path_ = new QLineEdit;
  path_->setObjectName("path");
  path_->setMaxLength(128);
  auto* browse = new QPushButton(tr("&Browse..."));
  browse->setAutoDefault(false);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(path_);
  pathRow->addWidget(browse);
  auto* nameLabel = new QLabel(tr("Practice &name:"));
  nameLabel->setBuddy(name_);
  auto* pathLabel = new QLabel(tr("Data &path:"));
  pathLabel->setBuddy(path_);
  form->addRow(nameLabel, name_);
  form->addRow(pathLabel, pathRow);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  auto* create = buttons->addButton(tr("&Create"), QDialogButtonBox::AcceptRole);
  create->setObjectName("create");
  layout->addWidget(buttons);
  // Made default once in the window, so that Enter creates rather than browses.
  create->setDefault(true);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = QFileDialog::getExistingDirectory(this, QString(), path_->text());
    if (!chosen.isEmpty()) path_->setText(chosen);
  });
  connect(create, &QPushButton::clicked, this, &NewPracticeDialog::create);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void NewPracticeDialog::create() {
  outcome_ = application_.newPractice(name_->text().toStdString(), path_->text().toStdString());
  if (outcome_ != practice::OpenOutcome::NotOpened) accept();
}

}  // namespace vantrell::desktop
