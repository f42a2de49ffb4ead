#include "shell/start_form.h"

#include <QGridLayout>

#include "platform/widgets.h"
#include "settings/settings_files.h"
#include "shell/texts.h"

namespace quorvalis {

StartForm::StartForm(Services& services, QWidget* parent) : QWidget(parent), services_(services) {
  setObjectName(QStringLiteral("client_start"));
  setWindowTitle(QString::fromUtf8(texts::kStartCaption));
  auto* grid = new QGridLayout(this);
  auto label = [&](const char* text, int row) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    QFont f = l->font();
    f.setPointSize(row == 0 ? 16 : 12);
    f.setBold(row == 0);
    l->setFont(f);
    grid->addWidget(l, row, 0, 1, 3);
  };
  label(texts::kStartProduct, 0);
  label(texts::kStartGuests, 1);
  label(texts::kStartCoupons, 2);

  Text1 = makeNamed<QLineEdit>(this, QStringLiteral("Text1"));
  Text1->setMinimumHeight(40);
  Check1 = new QCheckBox(QString::fromUtf8(texts::kStartRemember), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  Command1 = new QPushButton(QString::fromUtf8(texts::kLogin), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setMinimumHeight(48);
  tasta2 = new QPushButton(QString::fromUtf8(texts::kKeyboard), this);
  tasta2->setObjectName(QStringLiteral("tasta2"));
  tasta2->setMinimumHeight(48);
  grid->addWidget(Text1, 3, 0, 1, 2);
  grid->addWidget(tasta2, 3, 2);
  grid->addWidget(Check1, 4, 0, 1, 3);
  grid->addWidget(Command1, 5, 0, 1, 3);

  // clicked, not toggled: filling in the remembered ID must not store anything.
  connect(Check1, &QCheckBox::clicked, this, &StartForm::Check1_Click);
  connect(Command1, &QPushButton::clicked, this, &StartForm::Command1_Click);
  connect(Text1, &QLineEdit::returnPressed, this, &StartForm::Command1_Click);
  connect(tasta2, &QPushButton::clicked, this, &StartForm::tasta2_Click);
  resize(420, 300);
}

bool StartForm::load() {
  if (readSetting(keys::kLog) != QStringLiteral("1")) return false;
  Text1->setText(readSetting(keys::kId));
  Check1->setChecked(true);
  return Text1->text().size() > 5;
}

bool StartForm::resume(const QString& branchId) {
  if (branchId.isEmpty()) return false;
  Text1->setText(branchId);
  return true;
}

void StartForm::Check1_Click() {
  if (!rememberBranchId(Check1->isChecked(), Text1->text())) Check1->setChecked(false);
  else if (!Check1->isChecked()) Text1->clear();
}

void StartForm::Command1_Click() {
  if (!Text1->text().isEmpty()) emit login(Text1->text());
}

void StartForm::tasta2_Click() {
  services_.desktop.startOnScreenKeyboard();
  Text1->setFocus();
}

}  // namespace quorvalis
