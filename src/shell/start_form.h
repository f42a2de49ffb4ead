// client_start: takes the branch ID, remembers it on request, logs in.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "server/services.h"

namespace quorvalis {

class StartForm : public QWidget {
  Q_OBJECT
 public:
  explicit StartForm(Services& services, QWidget* parent = nullptr);

  // Form load: fills in the remembered ID; true when it is long enough to log in at once.
  bool load();
  // A terminal restarted by its guard logs in with the branch it had: true when there is one.
  bool resume(const QString& branchId);
  void Check1_Click();
  void Command1_Click();
  void tasta2_Click();
  QString branchId() const { return Text1->text(); }

 signals:
  void login(const QString& branchId);

 private:
  Services& services_;
  QLineEdit* Text1;
  QCheckBox* Check1;
  QPushButton* Command1;
  QPushButton* tasta2;
};

}  // namespace quorvalis
