#include "keyboard/entry_screen.h"

#include <QHideEvent>

#include "keyboard/entry_widgets.h"
#include "keyboard/touch_keyboard.h"
#include "platform/widgets.h"
#include "platform/window.h"

namespace quorvalis {
namespace {
const QString kLeaveKey = QStringLiteral("Abbrechen");
}

EntryScreen::EntryScreen(TerminalState& state, const char* objectName, const QString& title,
                         QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), state_(state) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QStringLiteral("quorvalis - Tarvendels via SMS"));
  setModal(true);
  setStyleSheet(QStringLiteral("QDialog { background: rgb(240, 244, 248); }") + touchKeyStyle());
  mainbackgr = makeScreenBackground(this);
  background = makeFocusFrame(this);
  framePlace_ = background->geometry();
  Label3 = makeTitle(this, title);
  ABBRUCH = makeKey(this, QStringLiteral("ABBRUCH"), kLeaveKey);
  ABBRUCH->setFocusPolicy(Qt::StrongFocus);
  connect(ABBRUCH, &QPushButton::clicked, this, &EntryScreen::ABBRUCH_Click);
  ProgressBar1 = makeProgressBar(this);
  versinfo = makeLabel(this, "versinfo", state_.versinfo);
  versinfo->setAlignment(Qt::AlignCenter);
  Timer1 = makeNamed<QTimer>(this, QStringLiteral("Timer1"));
  Timer2 = makeNamed<QTimer>(this, QStringLiteral("Timer2"));
  connect(Timer2, &QTimer::timeout, this, &EntryScreen::timer2Tick);
  SetTopmost(this);
}

void EntryScreen::reset() {
  timerc_ = 0;
  closed_ = false;
  setResult(0);
  // The focus it had when it closed would come back with it and open a keyboard.
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  // The focus frame where it was made; a focused field places it and stacks it under itself.
  background->hide();
  background->setGeometry(framePlace_);
  background->stackUnder(Label3);
  ABBRUCH->setText(kLeaveKey);
  ABBRUCH->show();
  ProgressBar1->reset();
  ProgressBar1->hide();
  versinfo->setText(state_.versinfo);
  // Mapped again, a window keeps its old place in the stack, under what was raised meanwhile.
  SetTopmost(this);
}

void EntryScreen::stopTimers() {
  for (QTimer* timer : findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
    setTimerInterval(timer, 0);
}

// Only when the program hides the screen: a screen minimised by the desktop still counts down.
void EntryScreen::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) stopTimers();
}

void EntryScreen::placeAtBottomEdge() {
  const int w = screenWidth();
  const int top = std::max(0, state_.screenH.toInt() - 9000);
  setGeometry(twipsToPixels(QRect(0, top, w, 9000)));
  placeTwips(mainbackgr, 150, 150, w - 300, 9000 - 300);
  mainbackgr->lower();
  ProgressBar1->setGeometry(twipsToPixels(QRect(500, 8100, w - 1000, 300)));
  placeTwips(versinfo, 0, 8520, w, 300);
  ABBRUCH->setGeometry(twipsToPixels(QRect(w - 2900, 7200, 2500, 800)));
}

void EntryScreen::timer2Tick() {
  if (++timerc_ > 120) ABBRUCH_Click();
}

void EntryScreen::ABBRUCH_Click() { closeScreen(); }

void EntryScreen::closeScreen() {
  if (closed_) return;
  closed_ = true;
  state_.nominimize = QStringLiteral("0");
  setTimerInterval(Timer1, 0);
  setTimerInterval(Timer2, 0);
  done(QDialog::Accepted);
}

}  // namespace quorvalis
