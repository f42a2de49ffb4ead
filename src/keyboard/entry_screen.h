// What the new-guest and coupon screens share: a modal, topmost screen 9000 twips high at the
// bottom edge, with title, leave button, busy and countdown bar, and the two-minute idle watch.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "server/terminal_state.h"

namespace quorvalis {

class EntryScreen : public QDialog {
  Q_OBJECT
 public:
  EntryScreen(TerminalState& state, const char* objectName, const QString& title,
              QWidget* parent = nullptr);

  void ABBRUCH_Click();
  void timer2Tick();  // the idle watch: closes after more than 120 s without input
  bool closedItself() const { return closed_; }
  int idleSeconds() const { return timerc_; }

 protected:
  int screenWidth() const { return state_.screenW.toInt(); }
  void placeAtBottomEdge();
  // Writes "0" into the band's nominimize and closes: the band's countdown goes on.
  virtual void closeScreen();

  TerminalState& state_;
  int timerc_ = 0;
  bool closed_ = false;
  QLabel *mainbackgr, *background, *Label3, *versinfo;
  QPushButton* ABBRUCH;
  QProgressBar* ProgressBar1;
  QTimer *Timer1, *Timer2;
};

}  // namespace quorvalis
