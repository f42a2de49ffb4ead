// club: today's present club members, checked in by chip card or mobile number and out by
// hand; issues club cards. Modeless above the band, polling the card reader every second.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "club/club_card.h"
#include "keyboard/touch_keyboard.h"
#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis {

class ClubScreen : public QWidget {
  Q_OBJECT
 public:
  // Form load: layout, today's members from the day file, polling on.
  ClubScreen(Services& services, TerminalState& state, QWidget* parent = nullptr);
  ~ClubScreen() override;

  void timer1Tick();
  void PollCardReader();
  void ReadClubCard();
  void CheckBlankCard();
  void DATA_GotFocus(int index);
  void cmdEnterNum_Click();
  void search_Click();
  void angemeldet2_Click();
  void abmelden_Click();
  void ABBRUCH_Click();
  void Karte_zu_Click();
  void del_Karte_Click();
  void Init_Karte_Click();
  void LoadPresentMembers();
  void SavePresentMembers();
  void AppendVisitLog();

  // A card erased elsewhere (the settings form) is read afresh by the next poll.
  void forgetCard() { Karte_.clear(); }

  QStringList presentRecords() const;
  QString cardState() const { return Karte_; }
  QString selectedNumber() const { return handynr_; }
  bool polling() const { return Timer1->isActive(); }
  void setUniformDraw(UniformDraw draw) { uniform_ = std::move(draw); }
  // Reading or writing the card, with events going on meanwhile.
  bool working() const { return cardWork_ > 0; }
  // Unloaded while at work: stops polling, hides, and is deleted once the work is over.
  void retire();

 signals:
  void unloaded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Busy;
  class CardWork;
  using Action = void (ClubScreen::*)();
  void whenCardIdle(Action action);  // a touched action, after the card work under way
  void runDeferred();
  // The controls, left to right; w is the screen's width in twips.
  void makeMemberList(int w);
  void makeNumberEntry(int w);
  void makeMessages(int w);
  void makeKeypad(int w);
  QLineEdit* field(int i) const { return DATA[static_cast<size_t>(i)]; }
  void withdrawOffers();  // hides search and Karte_zu
  void lookUpAndCheckIn(const QString& number);
  void removeAt(int row);
  void pause(int ms);

  Services& services_;
  TerminalState& state_;
  UniformDraw uniform_;
  int current_ = 0;
  bool suppressChange_ = true;
  bool busy_ = false;
  int cardWork_ = 0;
  bool retiring_ = false;
  std::vector<Action> deferred_;
  // What the screen keeps about the card in the reader and the chosen member.
  QString loggedReaderState_;
  QString chipstat_, Karte_, chipNR_, MALen_, chipMAnr_, handynr_;

  std::array<QLineEdit*, 2> DATA{};
  std::array<QRect, 2> fieldPlace_{};  // twips
  QListWidget *angemeldet, *angemeldet2;
  QPushButton *search, *abmelden, *Karte_zu, *del_Karte, *Init_Karte, *ABBRUCH;
  QLabel *mainbackgr, *background, *Label1, *chipmess, *Hinweis;
  QTimer* Timer1;
  std::unique_ptr<NumericKeypad> keypad_;
};

}  // namespace quorvalis
