#include <QTest>

#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "guests/texts.h"
#include "opening_state.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

namespace t = guest_texts;
static QString text(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kSearch = "/quorvalis/DATA/search2.cgi?";
const QString kAdd = "/quorvalis/DATA/addclient.cgi?";
const QString kCoupon = "/quorvalis/DATA/addcoupon.cgi?";
const QString kAuth = "/quorvalis/DATA/demo/smsauth.ini";
const QString kSending = "/quorvalis/DATA/smssending.cgi?";
const QString kGate = "http://gw.example/";
const QString kAccount = "acc-pw-" + kGate + "gate1/send?";

// Every request succeeds unless a test says otherwise; without "msg" no SMS is sent.
class NewGuestTest : public ProgramFolderTest {
 protected:
  NewGuestTest() {
    for (const QString& ok : {kAdd, kCoupon, kSending, kGate}) fakes.server.reply(ok, "OK");
    fakes.server.reply(kSearch, "0-0-0");
    fakes.server.reply(kAuth, kAccount);
  }
  void settings(const QByteArray& clients) { writeBytes("filialini.ini", "[clients]\r\n" + clients); }
  // The band's kept screen, opened again for each use: every case also checks that nothing of the
  // case before stays on it.
  void open() {
    kept.prepare();
    screen = kept.screen();
    screen->hide();
    screen->reset();
    screen->show();
  }
  void TearDown() override {
    NewGuestScreen made(fakes.services, state);
    if (screen) expectOpensAgainAsNew(kept, made, [](const NewGuestScreen& s) {
      return screenState(s) << QStringLiteral("field %1 idle %2 closed %3 record %4 coupon %5")
                                   .arg(s.currentField()).arg(s.idleSeconds()).arg(s.closedItself())
                                   .arg(s.datensatz(), s.couponcode());
    });
    ProgramFolderTest::TearDown();
  }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  QWidget* child(const QString& name) { return screen->findChild<QWidget*>(name); }
  QString label1() { return screen->findChild<QLabel*>("Label1")->text(); }
  // Which of the named widgets are shown.
  QString shown(const QString& names) {
    QStringList out;
    for (const QString& name : names.split(u' ')) if (!child(name)->isHidden()) out << name;
    return out.join(u' ');
  }
  // A woman with a complete, valid entry.
  void save() {
    fakes.server.requests.clear();
    open();
    screen->sexPictureTouched(true);
    const QStringList values{"Anna", "Muster-Meier", "0171", "1234567", "07", "03", "1990"};
    for (int i = 0; i < kGuestFields; ++i) data(i)->setText(values[i]);
    screen->Datapr_Click();
  }

  FakeServices fakes;
  TerminalState state = bandState();
  KeptScreen<NewGuestScreen> kept{[this] { return std::make_unique<NewGuestScreen>(fakes.services, state); }};
  NewGuestScreen* screen = nullptr;
};

// From the blinking pictures through the checks on Enter to the saved guest: leaving a name
// field tidies it, a double name typed with a blank still goes out hyphenated when the save
// button is touched straight from the field. Without a message that is all; then it closes
// when left alone.
TEST_F(NewGuestTest, EntryJourneyThenEveryDuplicateCheckOutcome) {
  const QString marks = "ok_0 ok_1 ok_2 ok_3 ok_4 ok_5 ok_6";
  settings("coupon=1\r\nmsg=-\r\n");
  open();
  screen->show();
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  screen->timer1Tick();  // half a second after opening: field 0 wants the focus, no picture yet
  EXPECT_EQ(label1() + QString::number(screen->currentField()), text(t::kChooseSex) + "-1");
  QTest::mouseClick(child("w02"), Qt::LeftButton);
  EXPECT_EQ(shown("m0 m02 m1 w0 w02 w1 Label4"), "m0 w1");
  QTest::mouseClick(child("m0"), Qt::LeftButton);  // switching the choice: a man in the end
  screen->DATA_GotFocus(2);
  EXPECT_EQ(label1() + " " + shown("cmdAlpha_1 cmdNumeric_1"), text(t::kPrompts[2]) + " cmdNumeric_1");
  screen->DATA_GotFocus(1);
  EXPECT_EQ(shown("cmdAlpha_1 cmdNumeric_1"), "cmdAlpha_1");
  const QStringList values{"Anna", "Mu", "hans-peter", "0234567", "7", "3", "1990"};
  for (int i = 0; i < kGuestFields; ++i) data(i)->setText(values[i]);
  screen->enterPressed();  // only the first wrong field is emptied and focused
  EXPECT_EQ(shown(marks) + "/" + data(1)->text() + "/" + QString::number(screen->currentField()), "ok_1 ok_2//1");
  screen->DATA_LostFocus(2);
  EXPECT_EQ(data(2)->text(), "hans-peter");
  data(1)->setText("hans-peter  müller");
  screen->DATA_LostFocus(1);
  EXPECT_EQ(data(1)->text(), text("Hans Peter Müller"));
  data(2)->setText("0171");
  screen->enterPressed();
  EXPECT_EQ(shown("Datapr Label1 cmdEnterNum"), "Datapr");
  data(1)->setText("Al");  // any change withdraws the save button
  EXPECT_TRUE(child("Datapr")->isHidden());
  data(1)->setFocus();  // the Return key of a real keyboard checks too, never typing
  QTest::keyClick(data(1), Qt::Key_Return);
  EXPECT_EQ(data(1)->text() + shown(marks), "ok_1");
  data(1)->setText("Muster Meier");
  screen->enterPressed();  // passes: "Muster-Meier", the field keeps the focus
  ASSERT_TRUE(data(1)->text() == "Muster-Meier" && data(1)->hasFocus());
  screen->Datapr_Click();
  EXPECT_EQ(fakes.server.requests, (QStringList{kSearch + "B---00491710234567---Anna---Muster-Meier---07.03.1990",
                                                kAdd + "B---00491710234567;Anna;Muster-Meier;07.03.1990;"
                                                       "12345-Bar Nord;04.12.2026;ABCDEFMN"}));
  EXPECT_EQ(data(4)->text() + data(5)->text() + label1(), "0703" + text(t::kCreated));
  int ticks = 0;
  for (; !screen->closedItself() && ticks < 500; ++ticks) screen->timer2Tick();
  EXPECT_EQ(ticks, 121);
  EXPECT_EQ(state.nominimize, "0");

  // Each duplicate check outcome ends with the closing countdown; without a message nothing follows the creation.
  const struct { QString reply, created; const char* message; int requests; } cases[] = {
      {"2-0-0", "OK", t::kNumberKnown, 1},          {"---", "OK", t::kBlocked, 1},
      {"0-2-1", "OK", t::kNameAndBirthdayKnown, 1}, {"", "OK", t::kNoDatabase, 1},
      {"0-0-0", "FEHLER", t::kSaveFailed, 2},       {"0-3-0", "OK", t::kCreated, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.toStdString() + " " + c.created.toStdString());
    fakes.server.reply(kSearch, c.reply);
    fakes.server.reply(kAdd, c.created);
    save();
    if (c.reply == "0-3-0") {  // a namesake: created only once confirmed
      EXPECT_EQ(label1(), text(t::kNameQuestionStart) + "3" + text(t::kNameQuestionEnd));
      EXPECT_EQ(shown("Datapr") + " " + child("Datapr")->property("text").toString(), "Datapr " + text(t::kConfirm));
      EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 100);  // busy, not closing
      QTest::mouseClick(child("Datapr"), Qt::LeftButton);
    }
    EXPECT_EQ(label1() + "|" + child("ABBRUCH")->property("text").toString(), text(c.message) + "|" + text(t::kLeave));
    EXPECT_EQ(fakes.server.requests.size(), c.requests);
    int ticks = 0;
    for (; !screen->closedItself() && ticks < 500; ++ticks) screen->timer1Tick();
    EXPECT_EQ(ticks, 99);
  }
}

// The SMS template filled in; a failed booking stops it, a failing gateway passes it on to the
// next. "<code>" is the coupon code drawn; gates are the replies of gate1 to gate3.
TEST_F(NewGuestTest, WelcomeCouponAndSms) {
  const QByteArray hallo = "msg=Hallo\r\ncoupon=1\r\neuro=5\r\n";
  const QString booking = kCoupon + "B---00491711234567;<code>;04.12.2027;Neuregistrierung;5;04.12.2026;-";
  const QString toAnna = "receiver=00491711234567&sender=Basic&msg=Hallo", log = "B---04.12.2026;1;1;5;12345;Basic";
  const QString sent = text(t::kSmsSent), failed = text(t::kSmsFailed);
  const struct {
    QByteArray clients; QString account, booked; QStringList gates; QString coupon, sms, log, message; int gateways;
  } cases[] = {
      {"msg=Hallo%20<VN>%20<NN>,%20Ihr%20Gutschein%20<C>%20\xFC" "ber%20<E>%20Euro\r\ncoupon=1\r\neuro=5\r\n",
       kAuth, "OK", {"OK", "OK", "OK"}, booking,
       toAnna + " Anna Muster-Meier, Ihr Gutschein <code> über 5 Euro", log, sent, 1},
      {"abs=Bar%20Nord\r\nmsg=Code%20<C>!\r\ncoupon=0\r\neuro=7,5\r\n", "/quorvalis/DATA/demo/smsauthpro.ini",
       "OK", {"OK", "OK", "OK"}, "", "receiver=00491711234567&sender=Bar Nord&msg=Code !",
       "B---04.12.2026;1;0;7;12345;Bar Nord", sent, 1},
      {hallo, kAuth, "", {"OK", "OK", "OK"}, booking, "", "", text(t::kSaveFailed), 0},
      {hallo, kAuth, "OK", {"E042", "OK", "E3"}, booking, toAnna, log, sent, 2},
      {hallo, kAuth, "OK", {"E1", "E2", "E3"}, booking, toAnna, "", failed + "E3", 3},
      {hallo, "", "OK", {"OK", "OK", "OK"}, booking, "", "", failed + "no", 0},  // no account
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.toStdString() + " " + c.clients.toStdString());
    settings(c.clients);
    fakes.server.reply(kAuth, "");  // only that sender's account
    if (!c.account.isEmpty()) fakes.server.reply(c.account, kAccount);
    fakes.server.reply(kCoupon, c.booked);
    for (int i = 0; i < 3; ++i) fakes.server.reply(kGate + QStringLiteral("gate%1").arg(i + 1), c.gates[i]);
    save();
    const QString code = screen->couponcode();
    EXPECT_EQ(code.size(), c.coupon.isEmpty() ? 0 : 4);
    EXPECT_EQ(fakes.server.requests.filter(kCoupon).join(u' '), QString(c.coupon).replace("<code>", code));
    const QString sms = kGate + "gate1/send?" + QString(c.sms).replace("<code>", code) + "&id=acc&pw=pw&msgtype=t";
    QStringList gateways;
    for (int i = 0; i < c.gateways; ++i) gateways << QString(sms).replace("gate1", QStringLiteral("gate%1").arg(i + 1));
    EXPECT_EQ(fakes.server.requests.filter(kGate), gateways);
    EXPECT_EQ(fakes.server.requests.filter(kSending), c.log.isEmpty() ? QStringList() : QStringList{kSending + c.log});
    EXPECT_EQ(label1(), c.message);
  }
}

}  // namespace quorvalis::testing
