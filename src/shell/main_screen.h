// main: the band across the bottom of the screen; lives as long as the program.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/widgets.h"
#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis {

class MainScreen : public QWidget {
  Q_OBJECT
 public:
  MainScreen(Services& services, TerminalState& state, const QString& branchId,
             QWidget* parent = nullptr);

  // The other screens, attached by the application as they exist.
  struct Screens {
    std::function<void()> newGuest;        // modal
    std::function<void()> coupons;         // modal
    std::function<void(bool modal)> settings;
    std::function<void()> unloadModal;     // unload the new-guest and coupon screens
    std::function<void(bool show)> club;   // show or hide in club mode
    std::function<void(bool show)> ticker; // show or unload the news ticker
    std::function<bool()> othersOpen;      // a screen besides the band waits for the person
    std::function<void()> serverAnswered;  // the start sequence reached the server
  };
  Screens screens;

  // Procedures other parts call.
  void RunStartSequence();
  void ArrangeMainScreen();
  bool LoadBranchConfiguration();  // false: the program is ending
  void DownloadTickerSettings();
  bool CheckForUpdate();           // false: the program is ending for the update
  bool DownloadUpdate();
  void Mausklick(int button, int x, int y);

  // Event procedures.
  void Picture1_Click();  // shrink to the tile
  void Picture3_Click();  // restore the band
  void Picture2_Click();
  void pwdok_Click();
  void tasta2_Click();
  void Butt1_Click();
  void Butt2_Click();
  void ende_Click();
  void Form_Activate();

  // Timer ticks, called by the timers and directly by tests.
  void timer1Tick();
  void timer2Tick();
  void timerWinTick();
  void timerUpdateTick();

  bool ending() const { return ending_; }
  bool tileShown() const { return Picture3->isVisible(); }
  int uptime() const { return uptime_; }
  bool updateDue() const { return updateDue_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QPushButton* button(const char* name, const QString& text);
  void makeControls();
  void makeTimers();
  void connectControls();
  void loadForm(const QString& branchId);  // the opening state; the start sequence follows
  void storeScreenSize();
  int screenW() const { return state_.screenW.toInt(); }
  int screenH() const { return state_.screenH.toInt(); }
  void placeBand();
  void startAutoShrink();
  void setWatchdog();
  bool lookUpBranch(bool refreshAll);
  void withMoment(const std::function<void()>& work);
  void endProgram(const QString& reason);
  bool bandQuiet() const;

  Services& services_;
  TerminalState& state_;
  int uptime_ = 0;
  bool updateDue_ = false;  // the daily check fell due while the band was busy
  int replacedTicks_ = 0;   // ticks in a row that found the program replaced on disk
  bool restartRefused_ = false;
  QString installedRelease() const;
  void restartIfReplaced();
  bool ending_ = false;
  bool arranged_ = false;

  QPushButton *Butt1, *Butt2, *pwdok, *tasta2, *gpwdok, *tasta3, *ende;
  ClickLabel *Picture1, *Picture2, *Picture3;
  QLineEdit *pwd, *gpwd;
  QLabel *moment, *quorvalName, *quorvalStatus, *vers, *versinfo, *mainbackgr;
  QProgressBar* ProgressBar1;
  QTimer *Timer1, *Timer2, *TimerWin, *TimerUpdate;
};

}  // namespace quorvalis
