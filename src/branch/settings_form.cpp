#include "branch/settings_form.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QVBoxLayout>

#include "platform/support_log.h"
#include "branch/branch_report.h"
#include "branch/texts.h"
#include "common/text.h"
#include "club/club_card.h"
#include "coupons/print_receipt.h"
#include "platform/program_folder.h"
#include "platform/widgets.h"
#include "platform/window.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

namespace t = branch_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
  auto* b = makeNamed<QPushButton>(parent, QString::fromLatin1(name));
  b->setText(text(caption));
  b->setMinimumHeight(44);
  return b;
}

}  // namespace

SettingsForm::SettingsForm(Services& services, TerminalState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), services_(services), state_(state) {
  setObjectName(QStringLiteral("client_setup"));
  setWindowTitle(text(t::kCaption));
  setStyleSheet(QStringLiteral("QDialog { background: rgb(240, 244, 248); } * { font: 13px 'Arial'; }"
                               " #heading { font: bold 20px 'Arial'; color: rgb(0,62,110); }"
                               " #Hinweis { font: bold 15px 'Arial'; color: rgb(0,62,110); }"
                               " #BerichtListe { font: 12px 'Liberation Mono', monospace; }"));
  makeControls();
  arrangeControls();

  // Step 3: the report. Above the band, as wide as the screen allows.
  BuildReport();
  const int w = std::min(1100, toPixels(state_.screenW.toInt()));
  resize(w, std::min(620, std::max(400, toPixels(state_.screenH.toInt()) - toPixels(2500))));
  move((toPixels(state_.screenW.toInt()) - width()) / 2, 0);
  SetTopmost(this);
}

void SettingsForm::makeControls() {
  // Step 1 and 2: the boxes, only the ID, club mode and printer choice editable.
  const bool remembered = settingOn(keys::kLog);
  Text1 = makeNamed<QLineEdit>(this, QStringLiteral("Text1"));
  if (remembered) Text1->setText(readSetting(keys::kId));
  Check1 = box("Check1", t::kRemember, remembered, true);
  Check6 = box("Check6", t::kClub, settingOn(keys::kClub), true);
  Check2 = box("Check2", t::kWindows, settingOn(keys::kWin), false);
  Check3 = box("Check3", t::kAutomin, settingOn(keys::kAutomin), false);
  nomin = box("nomin", t::kNomin, settingOn(keys::kNomin), false);
  kats = box("kats", t::kKats, settingOn(keys::kKats), false);
  Check4 = box("Check4", t::kSettingsPassword, !state_.pwds.isEmpty() || state_.pwdsLocked, false);
  Check5 = box("Check5", t::kGuestPassword, !state_.pwdu.isEmpty(), false);
  connect(Check1, &QCheckBox::clicked, this, &SettingsForm::Check1_Click);
  connect(Check6, &QCheckBox::clicked, this, &SettingsForm::Check6_Click);

  del_Karte = button(this, "del_Karte", t::kEraseCard);
  del_Karte->setVisible(Check6->isChecked());
  connect(del_Karte, &QPushButton::clicked, this, &SettingsForm::del_Karte_Click);
  ende = button(this, "ende", t::kQuit);
  connect(ende, &QPushButton::clicked, this, &SettingsForm::ende_Click);
  schliessen = button(this, "schliessen", t::kClose);
  connect(schliessen, &QPushButton::clicked, this, &QDialog::close);
  // Shown once the hook is set, which happens only behind the password.
  Selbsttest = button(this, "Selbsttest", t::kSelfTest);
  Selbsttest->hide();
  connect(Selbsttest, &QPushButton::clicked, this, &SettingsForm::Selbsttest_Click);

  // Step 4: the printers.
  qdrucker = makeNamed<QComboBox>(this, QStringLiteral("qdrucker"));
  qdrucker->addItem(text(t::kLikeStandard));
  qdrucker->addItems(services_.printers.printerNames());
  StdPrinter = makeLabel(this, "StdPrinter", services_.printers.currentPrinter());
  const QString receipt = readSetting(keys::kQPrinter);
  QPrinter = makeLabel(this, "QPrinter", receipt == u"-" ? text(t::kNoReceiptPrinter) : receipt);
  connect(qdrucker, &QComboBox::activated, this, &SettingsForm::qdrucker_Click);

  Hinweis = makeLabel(this, "Hinweis");
  BerichtListe = makeNamed<QListWidget>(this, QStringLiteral("BerichtListe"));
  BerichtListe->setUniformItemSizes(true);  // a long log fills it quickly
  Drucken = button(this, "Drucken", t::kPrint);
  connect(Drucken, &QPushButton::clicked, this, &SettingsForm::Drucken_Click);
  Command2 = button(this, "Command2", t::kReset);
  connect(Command2, &QPushButton::clicked, this, &SettingsForm::Command2_Click);
}

// The settings on the left, the report on the right.
void SettingsForm::arrangeControls() {
  auto* heading = makeLabel(this, "heading", text(t::kHeading));
  auto* left = new QVBoxLayout;
  auto* id = new QHBoxLayout;
  id->addWidget(Text1);
  id->addWidget(Check1);
  left->addLayout(id);
  left->addWidget(Check6);
  left->addWidget(del_Karte);
  left->addSpacing(8);
  left->addWidget(makeLabel(this, "Label1", text(t::kCentral)));
  for (QCheckBox* b : {Check2, Check3, nomin, kats, Check4, Check5}) left->addWidget(b);
  left->addSpacing(8);
  left->addWidget(makeLabel(this, "Label2", text(t::kPrinterChoice)));
  left->addWidget(qdrucker);
  auto* printers = new QGridLayout;
  printers->addWidget(makeLabel(this, "Label3", text(t::kStandardPrinter)), 0, 0);
  printers->addWidget(StdPrinter, 0, 1);
  printers->addWidget(makeLabel(this, "Label4", text(t::kReceiptPrinter)), 1, 0);
  printers->addWidget(QPrinter, 1, 1);
  left->addLayout(printers);
  left->addStretch();
  left->addWidget(Selbsttest);
  left->addWidget(ende);
  auto* right = new QVBoxLayout;
  right->addWidget(makeLabel(this, "Label5", text(t::kReport)));
  right->addWidget(BerichtListe, 1);
  auto* reportButtons = new QHBoxLayout;
  reportButtons->addWidget(Drucken);
  reportButtons->addWidget(Command2);
  reportButtons->addStretch();
  reportButtons->addWidget(schliessen);
  right->addLayout(reportButtons);
  auto* grid = new QGridLayout(this);
  grid->addWidget(heading, 0, 0, 1, 2);
  grid->addLayout(left, 1, 0);
  grid->addLayout(right, 1, 1);
  grid->addWidget(Hinweis, 2, 0, 1, 2);
  grid->setColumnStretch(1, 1);
}

QCheckBox* SettingsForm::box(const char* name, const char* caption, bool ticked, bool editable) {
  auto* b = makeNamed<QCheckBox>(this, QString::fromLatin1(name));
  b->setText(text(caption));
  b->setChecked(ticked);
  b->setEnabled(editable);
  return b;
}

void SettingsForm::Check1_Click() {
  if (!rememberBranchId(Check1->isChecked(), Text1->text())) Check1->setChecked(false);
  else if (!Check1->isChecked()) Text1->clear();
}

void SettingsForm::Check6_Click() {
  const bool on = Check6->isChecked();
  writeSetting(keys::kClub, on ? QStringLiteral("1") : QStringLiteral("0"));
  del_Karte->setVisible(on);
  if (hooks.clubMode) hooks.clubMode(on);
}

void SettingsForm::qdrucker_Click(int index) {
  const QString chosen = index <= 0 ? QStringLiteral("-") : qdrucker->itemText(index);
  writeSetting(keys::kQPrinter, chosen);
  QPrinter->setText(index <= 0 ? text(t::kNoReceiptPrinter) : chosen);
}

void SettingsForm::del_Karte_Click() {
  if (services_.dialogs.message(text(t::kEraseQuestion), text(t::kTitleQuestion), Dialogs::kYesNo) !=
      Dialogs::kAnswerYes)
    return;
  if (eraseCard(services_.cardReader)) {
    services_.dialogs.message(text(t::kErased), text(t::kTitleNote));
    if (hooks.cardErased) hooks.cardErased();
  } else {
    services_.dialogs.message(text(t::kEraseFailed), text(t::kTitleError));
    del_Karte->hide();
  }
}

void SettingsForm::Selbsttest_Click() {
  if (!hooks.selfTest) return;
  // The checks keep events flowing (its own window, the server's answer): no second run meanwhile.
  Selbsttest->setEnabled(false);
  const QString report = hooks.selfTest();
  Selbsttest->setEnabled(true);
  services_.dialogs.message(report, text(t::kSelfTestTitle));
}

void SettingsForm::showEvent(QShowEvent* event) {
  Selbsttest->setVisible(static_cast<bool>(hooks.selfTest));
  QDialog::showEvent(event);
}

void SettingsForm::ende_Click() { services_.desktop.endProgram(QStringLiteral("the settings form's quit button")); }

void SettingsForm::BuildReport() {
  QFile log(programFile(QString::fromLatin1(files::kCouponsLog)));
  BerichtListe1 = log.open(QIODevice::ReadOnly) ? reportRecords(log.readAll()) : QStringList();
  BerichtListe->clear();
  BerichtListe->addItems(reportLines(BerichtListe1, state_.HalleName, readSetting(keys::kCll),
                                     services_.clock.today()));
}

QStringList SettingsForm::report() const {
  QStringList lines;
  for (int i = 0; i < BerichtListe->count(); ++i) lines << BerichtListe->item(i)->text();
  return lines;
}

void SettingsForm::Drucken_Click() {
  QString joined;
  for (const QString& line : report()) joined += line + QStringLiteral("\r\n");
  const bool printed =
      PrintFullPage(services_.printers, joined, receiptLogo(), QStringLiteral("quorvalis Filialbericht"));
  if (!printed) logError("printer", QStringLiteral("the branch report could not be printed on %1").arg(services_.printers.currentPrinter()));
  Hinweis->setText(text(printed ? t::kPrinted : t::kNotPrinted));
}

void SettingsForm::Command2_Click() {
  if (services_.dialogs.message(text(t::kResetQuestion), QStringLiteral("?"), Dialogs::kOkCancel) !=
      Dialogs::kAnswerOk)
    return;
  // The log is kept, not destroyed: moved aside first, and only then the period starts anew.
  const QString log = programFile(QString::fromLatin1(files::kCouponsLog));
  if (QFile::exists(log)) {
    const QString archive = archivedLogPath(services_.clock.now());
    if (!QDir().mkpath(QFileInfo(archive).path()) || QFile::exists(archive) ||
        !QFile::rename(log, archive)) {
      Hinweis->setText(text(t::kNotReset));
      return;
    }
  }
  writeSetting(keys::kCll, dateText(services_.clock.today()));
  writeSetting(keys::kCla, QStringLiteral("0"));
  BuildReport();
  Hinweis->setText(text(t::kResetDone));
}

void SettingsForm::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  emit unloaded();
}

}  // namespace quorvalis
