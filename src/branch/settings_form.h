// client_setup: the branch's settings (central ones read-only), the remembered ID, club mode,
// the receipt printer, erasing a club card, quitting, and the branch report.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>

#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis {

class SettingsForm : public QDialog {
  Q_OBJECT
 public:
  // Form load: the boxes from the settings files, the report, the printer list.
  SettingsForm(Services& services, TerminalState& state, QWidget* parent = nullptr);

  struct Hooks {
    std::function<void(bool on)> clubMode;  // show, or unload, the club screen
    std::function<void()> cardErased;       // the club screen reads the card afresh
    // The technician's check of this PC, its report as shown; set only behind the password.
    std::function<QString()> selfTest;
  };
  Hooks hooks;

  void Check1_Click();
  void Check6_Click();
  void qdrucker_Click(int index);
  void del_Karte_Click();
  void ende_Click();
  void BuildReport();
  void Drucken_Click();
  void Command2_Click();
  void Selbsttest_Click();

  QStringList report() const;

 signals:
  void unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QCheckBox* box(const char* name, const char* caption, bool ticked, bool editable);
  void makeControls();
  void arrangeControls();

  Services& services_;
  TerminalState& state_;
  QStringList BerichtListe1;

  QLineEdit* Text1;
  QCheckBox *Check1, *Check2, *Check3, *Check4, *Check5, *Check6, *nomin, *kats;
  QComboBox* qdrucker;
  QLabel *StdPrinter, *QPrinter, *Hinweis;
  QPushButton *del_Karte, *ende, *Drucken, *Command2, *schliessen, *Selbsttest;
  QListWidget* BerichtListe;
};

}  // namespace quorvalis
