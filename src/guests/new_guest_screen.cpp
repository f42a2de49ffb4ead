#include "guests/new_guest_screen.h"

#include <QEvent>
#include <QKeyEvent>
#include <QSignalBlocker>

#include "common/text.h"
#include "guests/guest_pictures.h"
#include "guests/registration.h"
#include "guests/texts.h"
#include "keyboard/entry_widgets.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

namespace t = guest_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kFieldH = 495;
constexpr QRect kFieldPlace[kGuestFields] = {
    {480, 1560, 4215, kFieldH}, {5040, 1560, 4215, kFieldH}, {480, 3000, 1215, kFieldH},
    {1920, 3000, 2775, kFieldH}, {5040, 3000, 615, kFieldH},  {5880, 3000, 615, kFieldH},
    {6720, 3000, 975, kFieldH}};
constexpr int kPictureW = 1440, kPictureH = 2400, kPictureTop = 1200;
// The Enter key beside the digits, where the keypad makes it, and under the letters.
constexpr QRect kEnterBesideDigits{11040, 5160, 855, 495};
constexpr QRect kEnterUnderLetters{8760, 6960, 2415, 615};

}  // namespace

NewGuestScreen::NewGuestScreen(Services& services, TerminalState& state, QWidget* parent)
    : EntryScreen(state, "newclient", text(t::kTitle), parent), services_(services) {
  makeEntryFields();
  makePictures();
  makeKeys();

  Timer3 = makeNamed<QTimer>(this, QStringLiteral("Timer3"));
  connect(Timer1, &QTimer::timeout, this, &NewGuestScreen::timer1Tick);
  connect(Timer3, &QTimer::timeout, this, &NewGuestScreen::timer3Tick);
  reset();
}

// Opening: everything the last guest left behind goes, then the form as it first opens.
void NewGuestScreen::reset() {
  EntryScreen::reset();
  for (QLineEdit* f : DATA) {
    const QSignalBlocker quiet(f);  // emptied, not edited
    f->setText(QString());          // and no undo back to the last guest
  }
  current_ = -1;
  datensatz_.clear();
  couponcode_.clear();
  gueltigbistemp_.clear();
  for (QCheckBox* box : kat) {
    box->hide();
    box->setChecked(false);
    box->setEnabled(true);
  }
  Label1->clear();
  Label1->show();
  Label4->show();
  for (ClickLabel* p : {m0, w0}) p->show();
  for (ClickLabel* p : {m1, w1, m02, w02}) p->hide();
  Datapr->setText(text(t::kSave));
  Datapr->hide();
  numeric_->enterKey()->setGeometry(twipsToPixels(kEnterBesideDigits));
  setTimerInterval(Timer3, 750);  // the pictures blink from the start

  InitGuestForm();
  HallePLZ_ = state_.HallePLZ;
  setTimerInterval(Timer1, 500);
  setTimerInterval(Timer2, 1000);
}

// The guest's fields with their labels and error marks, and the category boxes.
void NewGuestScreen::makeEntryFields() {
  for (int i = 0; i < kGuestFields; ++i) {
    const QRect place = kFieldPlace[i];
    auto* edit = makeEntryField(this, i, place, text(t::kLabels[i]), this);
    auto* label = findChild<QLabel*>(QStringLiteral("data_label_%1").arg(i));
    if (i >= 4) {  // the narrow birthday fields stand 840 twips apart
      label->setStyleSheet(QStringLiteral("font: 11px 'Arial';"));
      label->resize(toPixels(840), label->height());
    }
    data_label[static_cast<size_t>(i)] = label;
    connect(edit, &QLineEdit::textChanged, this, [this, i] { DATA_Change(i); });
    DATA[static_cast<size_t>(i)] = edit;
    auto* marker = makeLabel(this, qPrintable(QStringLiteral("ok_%1").arg(i)), QStringLiteral("x"));
    marker->setStyleSheet(QStringLiteral("color: red; font: bold 22px 'Arial';"));
    placeTwips(marker, place.right() + 1 + 45, place.y(), 300, kFieldH);
    marker->hide();
    ok[static_cast<size_t>(i)] = marker;
  }
  for (int i = 0; i < 6; ++i) {
    auto* box = new QCheckBox(QString(QChar(u'A' + i)), this);
    box->setObjectName(QStringLiteral("kat_%1").arg(i));
    box->setGeometry(twipsToPixels(QRect(9700 + i * 430, 1560, 420, kFieldH)));
    box->hide();
    kat[static_cast<size_t>(i)] = box;
  }
}

// The hint lines and the man's and woman's pictures, each plain, highlighted and chosen.
void NewGuestScreen::makePictures() {
  Label1 = makeLabel(this, "Label1");
  Label1->setStyleSheet(QStringLiteral("font: bold 17px 'Arial'; color: rgb(0,62,110);"));
  Label1->setWordWrap(true);
  Label4 = makeLabel(this, "Label4", text(t::kPointAtPictures));
  Label4->setStyleSheet(QStringLiteral("font: bold 18px 'Arial'; color: rgb(200,60,0);"));
  placeTwips(Label4, 8900, 700, 3300, 450);

  auto picture = [this](const char* name, int x, bool woman, pictures::PersonLook look) {
    auto* p = makeNamed<ClickLabel>(this, QString::fromLatin1(name));
    p->setGeometry(twipsToPixels(QRect(x, kPictureTop, kPictureW, kPictureH)));
    p->setPixmap(pictures::person(woman, look, p->size()));
    return p;
  };
  using L = pictures::PersonLook;
  m0 = picture("m0", 12360, false, L::kPlain);
  m02 = picture("m02", 12360, false, L::kHighlighted);
  m1 = picture("m1", 12360, false, L::kChosen);
  w0 = picture("w0", 13920, true, L::kPlain);
  w02 = picture("w02", 13920, true, L::kHighlighted);
  w1 = picture("w1", 13920, true, L::kChosen);
  for (ClickLabel* p : {m1, w1, m02, w02}) p->hide();
  connect(m0, &ClickLabel::clicked, this, [this] { sexPictureTouched(false); });
  connect(m02, &ClickLabel::clicked, this, [this] { sexPictureTouched(false); });
  connect(w0, &ClickLabel::clicked, this, [this] { sexPictureTouched(true); });
  connect(w02, &ClickLabel::clicked, this, [this] { sexPictureTouched(true); });
}

// The save key and both keyboards.
void NewGuestScreen::makeKeys() {
  Datapr = makeKey(this, QStringLiteral("Datapr"), text(t::kSave));
  Datapr->setGeometry(twipsToPixels(QRect(480, 4560, 11400, 1100)));
  Datapr->hide();
  connect(Datapr, &QPushButton::clicked, this, &NewGuestScreen::Datapr_Click);

  KeyboardHooks hooks;
  hooks.currentField = [this]() -> QLineEdit* { return current_ >= 0 ? field(current_) : nullptr; };
  hooks.resetIdle = [this] { timerc_ = 0; };
  hooks.enter = [this] { enterPressed(); };
  alpha_ = std::make_unique<AlphaKeyboard>(this, hooks);
  numeric_ = std::make_unique<NumericKeypad>(this, hooks);
}

NewGuestScreen::~NewGuestScreen() = default;

void NewGuestScreen::InitGuestForm() {
  placeAtBottomEdge();
  ShowAlphaKeyboard(0);
  ShowNumericKeypad(0);
  numeric_->enterKey()->hide();
  ShowEntryFields(0);
  ABBRUCH->hide();
  for (QLineEdit* f : DATA) f->clear();
  background->hide();
  ShowEntryFields(1);
  ABBRUCH->show();
  moveLabel1(3960);

  Absender_ = restoreBlanks(readSetting(keys::kAbs));
  message_ = restoreBlanks(readSetting(keys::kMsg));
  coupon_ = readSetting(keys::kCoupon);
  euro_ = readSetting(keys::kEuro);
  Drucken_ = readSetting(keys::kPrint);
  pruefen_ = readSetting(keys::kPruefen);
  const QString kats = readSetting(keys::kKats);
  if (kats == QStringLiteral("1"))
    for (QCheckBox* box : kat) {
      box->show();
      box->setEnabled(true);
    }
  const int k = static_cast<int>(readNumber(kats));
  if (k > 1 && k - 2 < 6) {  // a category beyond F does not exist: ignored
    kat[static_cast<size_t>(k - 2)]->setChecked(true);
    kat[static_cast<size_t>(k - 2)]->setEnabled(false);
  }
}

void NewGuestScreen::moveLabel1(int yTwips) {
  Label1->setGeometry(twipsToPixels(QRect(480, yTwips, 11700, 900)));
}

void NewGuestScreen::ShowAlphaKeyboard(int flag) {
  alpha_->setVisible(flag == 1);
  if (flag != 1) return;
  QPushButton* enter = numeric_->enterKey();
  enter->show();
  enter->setGeometry(twipsToPixels(kEnterUnderLetters));
  moveLabel1(3960);
  Datapr->hide();
}

void NewGuestScreen::ShowNumericKeypad(int flag) {
  numeric_->setVisible(flag == 1);
  if (flag != 1) return;
  moveLabel1(6060);
  QPushButton* enter = numeric_->enterKey();
  enter->show();
  enter->setGeometry(twipsToPixels(kEnterBesideDigits));
  Datapr->hide();
}

void NewGuestScreen::ShowEntryFields(int flag) {
  for (int i = 0; i < kGuestFields; ++i) {
    field(i)->setVisible(flag == 1);
    data_label[static_cast<size_t>(i)]->setVisible(flag == 1);
    if (flag != 1) ok[static_cast<size_t>(i)]->hide();
  }
}

bool NewGuestScreen::manChosen() const { return !m1->isHidden(); }
bool NewGuestScreen::womanChosen() const { return !w1->isHidden(); }

void NewGuestScreen::DATA_GotFocus(int i) {
  timerc_ = 0;
  if (ABBRUCH->text() == text(t::kLeave)) return;
  if (!manChosen() && !womanChosen()) {
    Label1->setText(text(t::kChooseSex));
    Label1->show();
    return;
  }
  current_ = i;
  Label1->setText(text(t::kPrompts[i]));
  placeFocusFrame(background, kFieldPlace[i], field(i));
  Label1->setVisible(Datapr->isHidden());
  ShowAlphaKeyboard(i <= 1 ? 1 : 0);
  ShowNumericKeypad(i <= 1 ? 0 : 1);
}

void NewGuestScreen::DATA_Change(int) {
  timerc_ = 0;
  Datapr->hide();
  Label1->show();
  background->show();
}

void NewGuestScreen::DATA_LostFocus(int i) {
  if (i > 1) return;
  const QString tidy = tidyName(field(i)->text());
  field(i)->setText(tidy);
}

void NewGuestScreen::enterPressed() {
  timerc_ = 0;
  CheckEntries();
  if (!Datapr->isHidden()) background->hide();
}

bool NewGuestScreen::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < kGuestFields; ++i) {
    if (watched != field(i)) continue;
    if (event->type() == QEvent::FocusIn) DATA_GotFocus(i);
    if (event->type() == QEvent::FocusOut) DATA_LostFocus(i);
    if (event->type() == QEvent::KeyPress) {
      timerc_ = 0;
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        enterPressed();
        return true;  // never reaches the field
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

GuestFields NewGuestScreen::fields() const {
  GuestFields values;
  for (int i = 0; i < kGuestFields; ++i) values[static_cast<size_t>(i)] = field(i)->text();
  return values;
}

void NewGuestScreen::CheckEntries() {
  for (QLabel* marker : ok) marker->hide();
  GuestFields values = fields();
  const auto failed = checkEntries(values, services_.clock.today().year());
  for (int i = 0; i < 2; ++i)
    if (field(i)->text() != values[static_cast<size_t>(i)]) field(i)->setText(values[static_cast<size_t>(i)]);
  for (int i = 0; i < kGuestFields; ++i) ok[static_cast<size_t>(i)]->setVisible(failed[static_cast<size_t>(i)]);
  ApplyCheckResult();
}

void NewGuestScreen::ApplyCheckResult() {
  for (int i = 0; i < kGuestFields; ++i) {
    if (ok[static_cast<size_t>(i)]->isHidden()) continue;
    Datapr->hide();
    Label1->show();
    field(i)->setFocus();
    DATA_GotFocus(i);
    field(i)->clear();
    return;
  }
  ShowAlphaKeyboard(0);
  ShowNumericKeypad(0);
  Datapr->setText(text(t::kSave));
  Datapr->show();
  numeric_->enterKey()->hide();
  Label1->hide();
}

void NewGuestScreen::sexPictureTouched(bool woman) {
  setTimerInterval(Timer3, 0);
  (woman ? w1 : m1)->show();
  (woman ? m0 : w0)->show();
  (woman ? w0 : m0)->hide();
  (woman ? m1 : w1)->hide();
  m02->hide();
  w02->hide();
  Label4->hide();
  ABBRUCH->setFocus();
}

void NewGuestScreen::timer3Tick() {
  const bool manPlain = !m0->isHidden();
  m0->setVisible(!manPlain);
  m02->setVisible(manPlain);
  w0->setVisible(manPlain);
  w02->setVisible(!manPlain);
}

void NewGuestScreen::timer1Tick() {
  if (Timer1->interval() == 500) {
    setTimerInterval(Timer1, 0);
    field(0)->setFocus();
    DATA_GotFocus(0);
  }
  if (countdownTick(ProgressBar1, Timer1)) closeScreen();
}

void NewGuestScreen::BeginClosingCountdown() {
  ABBRUCH->setText(text(t::kLeave));
  ShowNumericKeypad(0);
  ShowAlphaKeyboard(0);
  setTimerInterval(Timer1, 200);
  ProgressBar1->setValue(1);
  ProgressBar1->show();
}

void NewGuestScreen::closeScreen() {
  setTimerInterval(Timer3, 0);
  EntryScreen::closeScreen();
}

void NewGuestScreen::BuildGuestRecord() {
  GuestFields values = fields();
  padDayAndMonth(values);
  for (int i : {4, 5})
    if (field(i)->text() != values[static_cast<size_t>(i)]) field(i)->setText(values[static_cast<size_t>(i)]);
  if (std::none_of(kat.begin(), kat.end(), [](QCheckBox* b) { return b->isChecked(); }))
    for (QCheckBox* box : kat) box->setChecked(true);
  GuestChoice choice{{}, manChosen(), womanChosen()};
  for (int i = 0; i < 6; ++i) {
    kat[static_cast<size_t>(i)]->hide();
    if (kat[static_cast<size_t>(i)]->isChecked()) choice.categories += QChar(u'A' + i);
  }
  datensatz_ = guestRecord(values, choice, HallePLZ_, state_.HalleName, services_.clock.today());
}

void NewGuestScreen::Datapr_Click() {
  // A touch on the button takes the focus from the field first, so a name is tidied before it
  // is checked and hyphenated, never after (which would send "Muster Meier").
  if (QWidget* focused = focusWidget(); focused == field(0) || focused == field(1))
    ABBRUCH->setFocus();
  moveLabel1(3960);
  if (!manChosen() && !womanChosen()) {
    Label4->show();
    return;
  }
  timerc_ = 0;
  CheckEntries();
  if (Datapr->isHidden()) return;

  setTimerInterval(Timer1, 100);
  ProgressBar1->show();
  ABBRUCH->setFocus();
  Datapr->hide();
  BuildGuestRecord();

  const QString reply = services_.server.get(duplicateCheckPath(state_.quorvalisID, fields()));
  const CheckResult result =
      checkResultCode(reply, Label1->text().contains(text(t::kQuestionMarker)));
  if (result.code == QStringLiteral("OK")) Label1->setText(text(t::kNumberChecked));

  auto finish = [this](const char* message) {
    Label1->setText(text(message));
    Label1->show();
    BeginClosingCountdown();
  };
  switch (decideOutcome(result.code)) {
    case CheckOutcome::kNumberKnown: return finish(t::kNumberKnown);
    case CheckOutcome::kBlocked: return finish(t::kBlocked);
    case CheckOutcome::kNameAndBirthdayKnown: return finish(t::kNameAndBirthdayKnown);
    case CheckOutcome::kNoDatabase: return finish(t::kNoDatabase);
    case CheckOutcome::kAskName:
      Label1->setText(text(t::kNameQuestionStart) + result.nameCount + text(t::kNameQuestionEnd));
      moveLabel1(5880);
      Label1->show();
      Datapr->setText(text(t::kConfirm));
      Datapr->show();
      return;
    case CheckOutcome::kCreate:
      break;
  }
  if (services_.server.get(creationPath(state_.quorvalisID, datensatz_)) != QStringLiteral("OK"))
    return finish(t::kSaveFailed);
  Label1->setText(text(t::kCreated));
  welcome();
}

QString NewGuestScreen::sendToGateway(QString request) {
  QString reply = services_.server.getUrl(request);
  return reply.isEmpty() ? QStringLiteral("no") : reply;
}

void NewGuestScreen::welcome() {
  if (message_ == QStringLiteral("NO") || message_ == QStringLiteral("-")) {
    BeginClosingCountdown();
    return;
  }
  const QDate today = services_.clock.today();
  const QString number = internationalNumber(field(2)->text(), field(3)->text());
  if (coupon_ == QStringLiteral("1")) {
    couponcode_ = randomCouponCode();
    const QDate validUntil = couponValidity(today);
    gueltigbistemp_ = dateText(validUntil);
    const QString booked = services_.server.get(
        couponBookingPath(state_.quorvalisID, number, couponcode_, validUntil, euro_, today));
    if (booked != QStringLiteral("OK")) {
      Label1->setText(text(t::kSaveFailed));
      Label1->show();
      BeginClosingCountdown();
      return;
    }
    Label1->setText(text(t::kCouponBooked));
  }
  const GatewayAccount account =
      parseCredentials(services_.server.get(credentialsPath(state_.quorvalverz, Absender_)));
  QString request = gatewayRequest(account, number, Absender_, message_,
                                   {field(0)->text(), field(1)->text(), euro_, couponcode_});
  QString reply = sendToGateway(request);
  if (reply != QStringLiteral("OK")) {
    request.replace(QStringLiteral("gate1"), QStringLiteral("gate2"));
    reply = sendToGateway(request);
  }
  if (reply != QStringLiteral("OK")) {
    request.replace(QStringLiteral("gate2"), QStringLiteral("gate3"));
    reply = sendToGateway(request);
  }
  if (reply == QStringLiteral("OK")) {
    services_.server.get(sendingLogPath(state_.quorvalisID, today, coupon_ == QStringLiteral("1"),
                                        euro_, HallePLZ_, Absender_));
    Label1->setText(text(t::kSmsSent));
  } else {
    Label1->setText(text(t::kSmsFailed) + reply);
  }
  Label1->show();
  BeginClosingCountdown();
}

}  // namespace quorvalis
