#include "club/club_screen.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScopeGuard>

#include "club/club_rules.h"
#include "club/texts.h"
#include "platform/support_log.h"
#include "common/text.h"
#include "keyboard/entry_widgets.h"
#include "platform/file_write.h"
#include "platform/input_wait.h"
#include "platform/widgets.h"
#include "platform/window.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

namespace t = club_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kHeight = 5500;
constexpr int kBandHeight = 2500;
constexpr int kTickerHeight = 1350;
constexpr int kPollMs = 1000;

bool makeFolderFor(const QString& file) { return QDir().mkpath(QFileInfo(file).path()); }

// The members' list and the reader's line below it share the width left of the entry.
int listWidth(int screenW) { return std::max(3000, screenW - 11180); }

}  // namespace

// Marks the screen as waiting (for the server or the card) for as long as it lives; the
// polling tick and the buttons leave a busy screen alone.
class ClubScreen::Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
  ~Busy() { flag_ = before_; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
  bool before_;
};

// The card is being read or written. Keys and touches go on meanwhile (the reader waits on its
// own thread), but a touched action waits for the work's end, as it did when the reader held the
// screen: the card and the server see the same order, and the screen is not unloaded under it.
class ClubScreen::CardWork {
 public:
  explicit CardWork(ClubScreen& screen) : screen_(screen) { ++screen_.cardWork_; }
  ~CardWork() {
    if (--screen_.cardWork_ > 0) return;
    // Deleted from here, once control is back in the loop this frame runs in.
    if (screen_.retiring_) screen_.deleteLater();
    else if (!screen_.deferred_.empty()) QTimer::singleShot(0, &screen_, [s = &screen_] { s->runDeferred(); });
  }
  CardWork(const CardWork&) = delete;
  CardWork& operator=(const CardWork&) = delete;

 private:
  ClubScreen& screen_;
};

ClubScreen::ClubScreen(Services& services, TerminalState& state, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      services_(services),
      state_(state),
      uniform_(systemUniformDraw()) {
  setObjectName(QStringLiteral("club"));
  // The caption the band and the entry screens share.
  setWindowTitle(QStringLiteral("quorvalis - Tarvendels via SMS"));
  setAutoFillBackground(true);
  setStyleSheet(QStringLiteral("ClubScreen { background: rgb(240, 244, 248); }") + touchKeyStyle());
  const int w = state_.screenW.toInt();
  const int h = state_.screenH.toInt();
  const int top = h - kBandHeight - kHeight -
                  (readNumber(readSetting(keys::kRssMain)) > 0 ? kTickerHeight : 0);
  setGeometry(twipsToPixels(QRect(0, std::max(0, top), w, kHeight)));
  makeMemberList(w);
  makeNumberEntry(w);
  makeMessages(w);
  makeKeypad(w);

  ABBRUCH = makeKey(this, QStringLiteral("ABBRUCH"), text(t::kLeave));
  ABBRUCH->setGeometry(twipsToPixels(QRect(w - 3000, 1260, 2700, 800)));
  connect(ABBRUCH, &QPushButton::clicked, this, [this] { whenCardIdle(&ClubScreen::ABBRUCH_Click); });

  Timer1 = makeNamed<QTimer>(this, QStringLiteral("Timer1"));
  connect(Timer1, &QTimer::timeout, this, &ClubScreen::timer1Tick);

  LoadPresentMembers();
  SetTopmost(this);
  setTimerInterval(Timer1, kPollMs);
}

// Left the present members, in the middle the number entry and the actions, right the keys.
void ClubScreen::makeMemberList(int w) {
  mainbackgr = makeScreenBackground(this);
  placeTwips(mainbackgr, 150, 150, w - 300, kHeight - 300);
  background = makeFocusFrame(this);
  Label1 = makeTitle(this, text(t::kTitle));
  angemeldet = makeNamed<QListWidget>(this, QStringLiteral("angemeldet"));
  angemeldet->hide();
  angemeldet2 = makeNamed<QListWidget>(this, QStringLiteral("angemeldet2"));
  angemeldet2->setGeometry(twipsToPixels(QRect(480, 860, listWidth(w), 3440)));
  angemeldet2->setStyleSheet(QStringLiteral("font: 14px 'Arial';"));
  connect(angemeldet2, &QListWidget::itemClicked, this, [this] { whenCardIdle(&ClubScreen::angemeldet2_Click); });
}

void ClubScreen::makeNumberEntry(int w) {
  const int middle = w - 10400;
  fieldPlace_ = {QRect(middle, 1260, 1215, 495), QRect(middle + 1550, 1260, 2250, 495)};
  for (int i = 0; i < 2; ++i) {
    DATA[static_cast<size_t>(i)] =
        makeEntryField(this, i, fieldPlace_[static_cast<size_t>(i)], text(t::kLabels[i]), this);
    connect(field(i), &QLineEdit::textChanged, this, [this] {
      if (suppressChange_) return;
      withdrawOffers();
      handynr_.clear();
      Hinweis->clear();
    });
  }
  auto action = [&](const char* name, const char* caption, int y) {
    QPushButton* b = makeKey(this, QString::fromLatin1(name), text(caption));
    b->setGeometry(twipsToPixels(QRect(middle, y, 3800, 700)));
    b->hide();
    return b;
  };
  search = action("search", t::kSearch, 2000);
  abmelden = action("abmelden", t::kCheckOut, 2800);
  Karte_zu = action("Karte_zu", t::kIssue, 3600);
  del_Karte = action("del_Karte", t::kErase, 3600);
  Init_Karte = action("Init_Karte", t::kInitialise, 3600);
  const std::pair<QPushButton*, Action> actions[] = {
      {search, &ClubScreen::search_Click},     {abmelden, &ClubScreen::abmelden_Click},
      {Karte_zu, &ClubScreen::Karte_zu_Click}, {del_Karte, &ClubScreen::del_Karte_Click},
      {Init_Karte, &ClubScreen::Init_Karte_Click}};
  for (const auto& entry : actions) {
    const Action act = entry.second;
    connect(entry.first, &QPushButton::clicked, this, [this, act] { whenCardIdle(act); });
  }
}

void ClubScreen::makeMessages(int w) {
  chipmess = makeLabel(this, "chipmess", text(t::kStarting));
  chipmess->setStyleSheet(QStringLiteral("font: bold 15px 'Arial'; color: rgb(0,62,110);"));
  placeTwips(chipmess, 480, 4380, listWidth(w), 420);
  Hinweis = makeLabel(this, "Hinweis");
  Hinweis->setStyleSheet(QStringLiteral("font: bold 17px 'Arial'; color: rgb(0,62,110);"));
  Hinweis->setIndent(toPixels(480));
  placeTwips(Hinweis, 0, 4840, w, 480);
}

void ClubScreen::makeKeypad(int w) {
  KeypadPlace place;
  const int keysLeft = w - 6400;
  for (int c = 0; c < 3; ++c) place.columns[c] = keysLeft + 1080 * c;
  place.rows[0] = 1260;
  place.rows[1] = 1980;
  place.rows[2] = 2700;
  place.zero = {keysLeft + 1080, 3420};
  place.clear = {keysLeft, 3420};
  KeyboardHooks hooks;
  hooks.currentField = [this] { return field(current_); };
  hooks.enter = [this] { cmdEnterNum_Click(); };
  hooks.beforeDigit = [this] {
    withdrawOffers();
    Hinweis->clear();
  };
  hooks.beforeClear = [this] { withdrawOffers(); };
  hooks.afterClear = [this] { Hinweis->clear(); };
  keypad_ = std::make_unique<NumericKeypad>(this, hooks, place);
  mainbackgr->lower();  // under the keypad's panel
}

ClubScreen::~ClubScreen() = default;

void ClubScreen::whenCardIdle(Action action) {
  if (cardWork_ > 0 || !deferred_.empty()) return deferred_.push_back(action);
  (this->*action)();
}

void ClubScreen::runDeferred() {
  while (!deferred_.empty() && cardWork_ == 0 && !retiring_) {
    const Action action = deferred_.front();
    deferred_.erase(deferred_.begin());
    (this->*action)();
  }
}

void ClubScreen::retire() {
  retiring_ = true;
  deferred_.clear();
  setTimerInterval(Timer1, 0);
  hide();
  if (cardWork_ == 0) deleteLater();
}

QStringList ClubScreen::presentRecords() const {
  QStringList records;
  for (int i = 0; i < angemeldet->count(); ++i) records << angemeldet->item(i)->text();
  return records;
}

void ClubScreen::withdrawOffers() {
  search->hide();
  Karte_zu->hide();
}

bool ClubScreen::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < 2; ++i) {
    if (watched != field(i)) continue;
    if (event->type() == QEvent::FocusIn) DATA_GotFocus(i);
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        cmdEnterNum_Click();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ClubScreen::DATA_GotFocus(int i) {
  current_ = i;
  placeFocusFrame(background, fieldPlace_[static_cast<size_t>(i)], field(i));
}

void ClubScreen::timer1Tick() {
  // A tick that fires while this screen or another waits for an answer, or before touches made
  // meanwhile are acted on, comes back next second.
  if (!Timer1->isActive() || busy_ || services_.server.busy() || services_.cardReader.busy() ||
      !deferred_.empty())
    return;
  PollCardReader();
}

void ClubScreen::PollCardReader() {
  const CardWork work(*this);
  const QString before = chipmess->text();
  const CardResult status = services_.cardReader.command(statusCommand(), {}, 7);
  // Support sees the reader come and go, never what a card holds.
  const QString readerState = !status.called ? QStringLiteral("no reader library or service") : status.dataOut.trimmed();
  if (readerState != loggedReaderState_) {
    logInfo("reader", QStringLiteral("card reader: %1").arg(readerState));
    loggedReaderState_ = readerState;
  }
  if (!status.called) {
    chipmess->setText(text(t::kNoReader));
    return;
  }
  chipstat_ = status.dataOut;
  if (chipstat_ == QLatin1String(kStatusError)) {
    chipmess->setText(text(t::kReaderNotReady));
    return;
  }
  if (chipstat_ == QLatin1String(kStatusInvalid)) {
    chipmess->setText(text(t::kReadError));
  } else if (chipstat_ == QLatin1String(kStatusWait)) {
    chipmess->setText(text(t::kReaderReady));
    Karte_.clear();
    chipNR_.clear();
    MALen_.clear();
    chipMAnr_.clear();
    if (chipmess->text() != before) {  // the card has just been taken out
      Hinweis->clear();
      services_.desktop.beep();
      writeSetting(keys::kTempNr, QString());
    }
  } else if (chipstat_ == QLatin1String(kStatusActive)) {
    if (Karte_.isEmpty()) ReadClubCard();
    if (Karte_.isEmpty()) CheckBlankCard();
    if (Karte_ == QStringLiteral("???")) chipmess->setText(text(t::kNotSupported));
  }
}

void ClubScreen::ReadClubCard() {
  const ClubCard card = readClubCard(services_.cardReader);
  if (!card.own) return;
  chipmess->setText(text(t::kRecognised));
  Karte_ = QStringLiteral("quorva");
  chipNR_ = card.cardNumber;
  MALen_ = card.lengthText;
  if (card.mobile.isEmpty()) {
    chipmess->setText(text(t::kCardUnknown));
    return;
  }
  chipMAnr_ = card.mobile;
  services_.desktop.beep();
  writeSetting(keys::kTempNr, chipMAnr_);
  lookUpAndCheckIn(chipMAnr_);
}

void ClubScreen::CheckBlankCard() {
  if (isBlankCard(services_.cardReader)) {
    Karte_ = QStringLiteral("leer");
    chipmess->setText(text(t::kBlankCard));
    chipNR_.clear();
    MALen_.clear();
    chipMAnr_.clear();
  } else {
    Karte_ = QStringLiteral("???");
  }
}

void ClubScreen::cmdEnterNum_Click() {
  Hinweis->clear();
  withdrawOffers();
  const int failing = firstFailingMobileField(field(0)->text(), field(1)->text());
  if (failing >= 0) {
    field(failing)->clear();
    field(failing)->setFocus();
    DATA_GotFocus(failing);
    return;
  }
  search->show();
}

void ClubScreen::search_Click() {
  // The touch means the typed number, also while a card sits in the reader.
  if (busy_ || firstFailingMobileField(field(0)->text(), field(1)->text()) >= 0) return;
  handynr_ = internationalNumber(field(0)->text(), field(1)->text());
  lookUpAndCheckIn(handynr_);
}

void ClubScreen::lookUpAndCheckIn(const QString& number) {
  const Busy busy(busy_);
  withdrawOffers();
  const ClubReply reply =
      parseClubReply(services_.server.get(clubSearchPath(state_.quorvalisID, number)));
  if (reply.kind == ClubReply::kNoAnswer) {
    Hinweis->setText(text(t::kNoAnswer));
    return;
  }
  if (reply.kind == ClubReply::kUnknown) {
    Hinweis->setText(text(t::kMemberUnknown));
    return;
  }
  Hinweis->setText(reply.name);
  if (presentRecords().filter(reply.key).isEmpty()) {
    const QDateTime now = services_.clock.now();
    const QString record = presentRecord(reply.key, now.date());
    angemeldet->addItem(record);
    angemeldet2->addItem(displayLine(record, now.time(), now.date()));
    SavePresentMembers();
    AppendVisitLog();
  } else {
    Hinweis->setText(text(t::kAlreadyBefore) + reply.name + text(t::kAlreadyAfter));
  }
  suppressChange_ = true;
  field(0)->clear();
  field(1)->clear();
  suppressChange_ = false;
}

void ClubScreen::angemeldet2_Click() {
  const int row = angemeldet2->currentRow();
  if (busy_ || row < 0) return;
  abmelden->show();
  search->hide();
  handynr_ = recordField(angemeldet->item(row)->text(), 0);
  Karte_zu->show();
}

void ClubScreen::removeAt(int row) {
  delete angemeldet->takeItem(row);
  delete angemeldet2->takeItem(row);
}

void ClubScreen::abmelden_Click() {
  const int row = angemeldet2->currentRow();
  if (busy_ || row < 0) return;
  Karte_zu->hide();
  handynr_.clear();
  // Every record of the member goes, with its line: the two lists stay in step.
  const QString key = checkOutKey(angemeldet->item(row)->text());
  for (int i = angemeldet->count() - 1; i >= 0; --i)
    if (angemeldet->item(i)->text().contains(key)) removeAt(i);
  SavePresentMembers();
  abmelden->hide();
  angemeldet2->setCurrentRow(-1);
  Hinweis->clear();
}

void ClubScreen::ABBRUCH_Click() {
  if (busy_) return;
  setTimerInterval(Timer1, 0);
  hide();
  emit unloaded();
}

void ClubScreen::LoadPresentMembers() {
  const QDate today = services_.clock.today();
  angemeldet->clear();
  {
    // Closed before the file is rewritten below: Windows replaces no file that is open.
    QFile in(dayFilePath(today));
    if (in.open(QIODevice::ReadOnly)) {
      QStringList lines = fromCp1252(in.readAll()).split(u'\n');
      for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
      angemeldet->addItems(todaysRecords(lines, today));
    }
  }
  if (angemeldet->count() > 0) {
    angemeldet2->clear();
    const QDateTime now = services_.clock.now();
    for (const QString& record : presentRecords())
      angemeldet2->addItem(displayLine(record, now.time(), now.date()));
  }
  SavePresentMembers();
}

void ClubScreen::SavePresentMembers() {
  const QString file = dayFilePath(services_.clock.today());
  makeFolderFor(file);
  QByteArray bytes;
  for (const QString& record : presentRecords()) bytes += toCp1252(record) + "\r\n";
  writeFileAtomically(file, bytes);
}

void ClubScreen::AppendVisitLog() {
  if (angemeldet->count() == 0) return;
  const QDateTime now = services_.clock.now();
  const QString file = visitLogPath(now.date());
  makeFolderFor(file);
  const QString line = visitLogLine(angemeldet->item(angemeldet->count() - 1)->text(), now.date(),
                                    now.time());
  appendDurably(file, toCp1252(line) + "\r\n");
}

void ClubScreen::del_Karte_Click() {
  const CardWork work(*this);
  if (eraseCard(services_.cardReader)) {
    Hinweis->setText(text(t::kErased));
    Karte_.clear();
  } else {
    Hinweis->setText(text(t::kEraseFailed));
    del_Karte->hide();
  }
}

void ClubScreen::Init_Karte_Click() {
  const CardWork work(*this);
  chipmess->setText(text(t::kWorking));
  if (initialiseCard(services_.cardReader, uniform_)) {
    Karte_.clear();
    return;
  }
  Karte_ = QStringLiteral("---");
  Init_Karte->hide();
  chipmess->setText(text(t::kInitFailed));
  Hinweis->setText(text(t::kNotWritten));
}

void ClubScreen::pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  runWithoutInput(loop);
}

void ClubScreen::Karte_zu_Click() {
  if (busy_) return;
  const CardWork work(*this);
  const Busy busy(busy_);
  // One touch issues one card; the member is chosen again for another.
  Karte_zu->hide();
  setTimerInterval(Timer1, 0);
  // However the issuing ends, the reader is polled again.
  const auto resume = qScopeGuard([this] {
    if (!Timer1->isActive()) setTimerInterval(Timer1, kPollMs);
  });
  del_Karte_Click();
  PollCardReader();
  Init_Karte_Click();
  if (Karte_ == QStringLiteral("---")) return;
  bool usable = true;
  if (handynr_.isEmpty()) {
    const QString prefix = field(0)->text(), number = field(1)->text();
    if (prefix.isEmpty() || number.isEmpty()) return;
    handynr_ = internationalNumber(prefix, number);
    usable = firstFailingMobileField(prefix, number) < 0 && handynr_.size() >= 12;
  }
  // The length field holds two digits.
  if (!usable || handynr_.size() > 99) {
    Hinweis->setText(text(t::kBadNumber));
    return;
  }
  chipmess->setText(text(t::kWorking));
  if (writeMemberNumber(services_.cardReader, handynr_)) {
    Karte_.clear();  // the next poll reads the new card and checks the member in
    setTimerInterval(Timer1, kPollMs);
    pause(250);
    return;
  }
  Karte_ = QStringLiteral("---");
  chipmess->setText(text(t::kInitFailed));
  Hinweis->setText(text(t::kNotWritten));
}

}  // namespace quorvalis
