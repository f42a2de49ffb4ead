// What the new-guest and coupon screens share: a modal, topmost screen 9000 twips high at the
// bottom edge, with title, leave button, busy and countdown bar, and the two-minute idle watch.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "server/terminal_state.h"

namespace quorvalis {

class EntryScreen : public QDialog {
  Q_OBJECT
 public:
  EntryScreen(TerminalState& state, const char* objectName, const QString& title,
              QWidget* parent = nullptr);

  // Back to the state the screen opens in, as if made anew: a kept screen opens again with
  // empty fields, its first hints and its timers started. Each screen adds its own parts.
  virtual void reset();
  // A screen that is not open keeps still. Closing it does this too.
  void stopTimers();

  void ABBRUCH_Click();
  void timer2Tick();  // the idle watch: closes after more than 120 s without input
  bool closedItself() const { return closed_; }
  int idleSeconds() const { return timerc_; }

 protected:
  int screenWidth() const { return state_.screenW.toInt(); }
  void placeAtBottomEdge();
  // Writes "0" into the band's nominimize and closes: the band's countdown goes on.
  virtual void closeScreen();
  void hideEvent(QHideEvent* event) override;

  TerminalState& state_;
  int timerc_ = 0;
  bool closed_ = false;
  QLabel *mainbackgr, *background, *Label3, *versinfo;
  QPushButton* ABBRUCH;
  QProgressBar* ProgressBar1;
  QTimer *Timer1, *Timer2;

 private:
  QRect framePlace_;
};

// Keeps a modal entry screen for the band between openings, so that a touch does not wait for its
// controls to be made and styled. It is made ahead while the band idles (prepare) or at its first
// opening, and each opening starts it as new.
template <class Screen>
class KeptScreen {
 public:
  explicit KeptScreen(std::function<std::unique_ptr<Screen>()> make) : make_(std::move(make)) {}

  void prepare() {
    if (screen_) return;
    screen_ = make_();
    screen_->stopTimers();  // resting until it opens
    // Its window made and its style sheets applied too: the first opening costs about what the
    // next ones do.
    screen_->ensurePolished();
    screen_->winId();
  }
  // Opens the screen afresh and returns when it has closed.
  void exec() {
    prepare();
    if (screen_->isVisible()) return;  // already open: a modal screen takes no second touch
    screen_->reset();
    screen_->exec();
  }
  Screen* screen() const { return screen_.get(); }

 private:
  std::function<std::unique_ptr<Screen>()> make_;
  std::unique_ptr<Screen> screen_;
};

}  // namespace quorvalis
