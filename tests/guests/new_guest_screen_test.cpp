#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "guests/texts.h"
#include "program_folder_test.h"

namespace quorvalis {
namespace {

namespace t = guest_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kSearch = "/quorvalis/DATA/search2.cgi?";
const QString kAdd = "/quorvalis/DATA/addclient.cgi?";
const QString kCoupon = "/quorvalis/DATA/addcoupon.cgi?";
const QString kAuth = "/quorvalis/DATA/demo/smsauth.ini";
const QString kSending = "/quorvalis/DATA/smssending.cgi?";
const QString kGate = "http://gw.example/";
const QString kAccount = "acc-pw-" + kGate + "gate1/send?";

// Every request succeeds unless a test says otherwise; without "msg" no SMS is sent.
class NewGuestTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    for (const QString& ok : {kAdd, kCoupon, kSending, kGate}) fakes.server.reply(ok, "OK");
    fakes.server.reply(kSearch, "0-0-0");
    fakes.server.reply(kAuth, kAccount);
  }
  void settings(const QByteArray& clients) { writeBytes("filialini.ini", "[clients]\r\n" + clients); }
  void open() { screen = std::make_unique<NewGuestScreen>(fakes.services, state); }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  QCheckBox* box(int i) { return screen->findChild<QCheckBox*>(QStringLiteral("kat_%1").arg(i)); }
  QWidget* child(const QString& name) { return screen->findChild<QWidget*>(name); }
  QString label1() { return screen->findChild<QLabel*>("Label1")->text(); }
  QPushButton* datapr() { return screen->findChild<QPushButton*>("Datapr"); }
  // Which of the named widgets are shown.
  QString shown(const QString& names) {
    QStringList out;
    for (const QString& name : names.split(u' ')) if (!child(name)->isHidden()) out << name;
    return out.join(u' ');
  }
  // A woman with a complete, valid entry.
  void typeGuest(const QString& number = "1234567", const QString& day = "07",
                 const QString& month = "03") {
    screen->sexPictureTouched(true);
    const QStringList values{"Anna", "Muster-Meier", "0171", number, day, month, "1990"};
    for (int i = 0; i < kGuestFields; ++i) data(i)->setText(values[i]);
  }
  void save() {
    fakes.server.requests.clear();
    open();
    typeGuest();
    screen->Datapr_Click();
  }
  QStringList requestsTo(const QString& prefix) { return fakes.server.requests.filter(prefix); }

  testing::FakeServices fakes;
  TerminalState state = testing::bandState();
  std::unique_ptr<NewGuestScreen> screen;
};

TEST_F(NewGuestTest, PicturesBlinkUntilChosenThenTheKeyboardFollowsTheField) {
  open();
  const QTimer* blink = screen->findChild<QTimer*>("Timer3");
  EXPECT_TRUE(blink->isActive());
  screen->timer3Tick();
  EXPECT_EQ(shown("m0 m02 w0 w02"), "m02 w0");
  screen->timer3Tick();
  EXPECT_EQ(shown("m0 m02 w0 w02"), "m0 w02");
  screen->timer1Tick();  // half a second after opening: the focus action for field 0
  EXPECT_EQ(label1(), text(t::kChooseSex));
  screen->DATA_GotFocus(3);
  EXPECT_EQ(screen->currentField(), -1);
  EXPECT_EQ(shown("cmdAlpha_1 cmdNumeric_1"), "");
  QTest::mouseClick(child("w02"), Qt::LeftButton);
  EXPECT_FALSE(blink->isActive());
  EXPECT_EQ(shown("m0 m02 m1 w0 w02 w1 Label4"), "m0 w1");
  screen->DATA_GotFocus(2);
  EXPECT_EQ(screen->currentField(), 2);
  EXPECT_EQ(label1(), text(t::kPrompts[2]));
  EXPECT_EQ(shown("cmdAlpha_1 cmdNumeric_1 background"), "cmdNumeric_1 background");
  screen->DATA_GotFocus(0);
  EXPECT_EQ(shown("cmdAlpha_1 cmdNumeric_1"), "cmdAlpha_1");
  QTest::mouseClick(child("m0"), Qt::LeftButton);  // switching the choice
  EXPECT_EQ(shown("m0 m1 w0 w1"), "m1 w0");
}

TEST_F(NewGuestTest, EnterEmptiesAndFocusesOnlyTheFirstWrongField) {
  const QString marks = "ok_0 ok_1 ok_2 ok_3 ok_4 ok_5 ok_6";
  open();
  typeGuest("12345");
  data(1)->setText("Mu");
  screen->enterPressed();
  EXPECT_EQ(shown(marks), "ok_1 ok_3");
  EXPECT_EQ(data(1)->text(), "");
  EXPECT_EQ(data(3)->text(), "12345");
  EXPECT_EQ(screen->currentField(), 1);
  EXPECT_TRUE(datapr()->isHidden());
  data(1)->setText("Muster");
  data(3)->setText("123456");
  screen->enterPressed();
  EXPECT_EQ(shown("Datapr Label1 cmdEnterNum"), "Datapr");
  data(3)->setText("1234567");  // any change withdraws the save button
  EXPECT_TRUE(datapr()->isHidden());
  // The Return key of a real keyboard checks as well, and never reaches the field.
  screen->DATA_GotFocus(0);
  data(0)->setText("Al");
  QTest::keyClick(data(0), Qt::Key_Return);
  EXPECT_EQ(data(0)->text(), "");
  EXPECT_EQ(shown(marks), "ok_0");
}

// Leaving a name field tidies it; a double name typed with a blank still goes out hyphenated
// when the save button is touched straight from the field. Without a message that is all.
TEST_F(NewGuestTest, NewGuestIsSavedWithTheExactRequests) {
  settings("coupon=1\r\nmsg=-\r\n");
  open();
  screen->show();
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
  typeGuest("0234567", "7", "3");
  data(2)->setText("hans-peter");
  screen->DATA_LostFocus(2);
  EXPECT_EQ(data(2)->text(), "hans-peter");
  data(1)->setText("hans-peter  müller");
  screen->DATA_LostFocus(1);
  EXPECT_EQ(data(1)->text(), text("Hans Peter Müller"));
  data(2)->setText("0171");
  data(1)->setFocus();
  data(1)->setText("Muster Meier");
  screen->enterPressed();  // passes: "Muster-Meier", the field keeps the focus
  ASSERT_EQ(data(1)->text(), "Muster-Meier");
  ASSERT_TRUE(data(1)->hasFocus());
  screen->Datapr_Click();
  EXPECT_EQ(fakes.server.requests,
            (QStringList{kSearch + "B---00491710234567---Anna---Muster-Meier---07.03.1990",
                         kAdd + "B---00491710234567;Anna;Muster-Meier;07.03.1990;"
                                "12345-Bar Nord;04.12.2026;ABCDEFWN"}));
  EXPECT_EQ(data(4)->text() + data(5)->text(), "0703");
  EXPECT_EQ(label1(), text(t::kCreated));
}

TEST_F(NewGuestTest, CategoryBoxesFromKats) {
  settings("kats=3\r\n");  // B is fixed: ticked, not shown, not to be unticked
  open();
  EXPECT_TRUE(box(1)->isChecked() && !box(1)->isEnabled() && box(1)->isHidden());
  typeGuest();
  screen->sexPictureTouched(false);
  screen->Datapr_Click();
  ASSERT_EQ(requestsTo(kAdd).size(), 1);
  EXPECT_TRUE(requestsTo(kAdd)[0].endsWith(";BMN")) << requestsTo(kAdd)[0].toStdString();
  settings("kats=1\r\n");
  open();
  for (int i = 0; i < 6; ++i)
    EXPECT_TRUE(!box(i)->isHidden() && !box(i)->isChecked() && box(i)->isEnabled()) << i;
  settings("kats=9\r\n");  // a category beyond F is ignored
  open();
  EXPECT_FALSE(box(5)->isChecked());
}

TEST_F(NewGuestTest, ClosesAfter120SecondsWithoutInput) {
  open();
  screen->sexPictureTouched(true);
  screen->DATA_GotFocus(0);
  for (int i = 0; i < 100; ++i) screen->timer2Tick();
  QTest::mouseClick(child("cmdAlpha_1"), Qt::LeftButton);  // input starts the count again
  for (int i = 0; i < 120; ++i) screen->timer2Tick();
  EXPECT_FALSE(screen->closedItself());
  screen->timer2Tick();
  EXPECT_TRUE(screen->closedItself());
  EXPECT_EQ(state.nominimize, "0");
}

// Each ends with the closing countdown, and without "msg" nothing is asked after the creation.
TEST_F(NewGuestTest, EveryDuplicateCheckOutcome) {
  const struct { QString reply, created; const char* message; } cases[] = {
      {"2-0-0", "OK", t::kNumberKnown},          {"---", "OK", t::kBlocked},
      {"0-2-1", "OK", t::kNameAndBirthdayKnown}, {"", "OK", t::kNoDatabase},
      {"0-0-0", "FEHLER", t::kSaveFailed},       {"0-0-0", "OK", t::kCreated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.toStdString() + " " + c.created.toStdString());
    fakes.server.reply(kSearch, c.reply);
    fakes.server.reply(kAdd, c.created);
    save();
    EXPECT_EQ(label1(), text(c.message));
    EXPECT_EQ(fakes.server.requests.size(), c.reply == "0-0-0" ? 2 : 1);
    EXPECT_EQ(child("ABBRUCH")->property("text").toString(), text(t::kLeave));
    for (int i = 0; i < 98; ++i) screen->timer1Tick();
    EXPECT_FALSE(screen->closedItself());
    screen->timer1Tick();
    EXPECT_TRUE(screen->closedItself());
  }
}

TEST_F(NewGuestTest, DuplicateNameIsCreatedAfterConfirmation) {
  fakes.server.reply(kSearch, "0-3-0");
  save();
  EXPECT_EQ(label1(), text(t::kNameQuestionStart) + "3" + text(t::kNameQuestionEnd));
  EXPECT_EQ(shown("Datapr") + " " + datapr()->text(), "Datapr " + text(t::kConfirm));
  EXPECT_TRUE(requestsTo(kAdd).isEmpty());
  EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 100);  // busy, not closing
  QTest::mouseClick(datapr(), Qt::LeftButton);
  EXPECT_EQ(requestsTo(kSearch).size(), 2);
  EXPECT_EQ(requestsTo(kAdd).size(), 1);
  EXPECT_EQ(label1(), text(t::kCreated));
}

// The SMS template filled in, with and without a welcome coupon; "<code>" is the code drawn.
TEST_F(NewGuestTest, WelcomeSmsFromEitherSender) {
  const struct { QByteArray clients; QString account, coupon, sms, log; } cases[] = {
      {"msg=Hallo%20<VN>%20<NN>,%20Ihr%20Gutschein%20<C>%20\xFC" "ber%20<E>%20Euro\r\ncoupon=1\r\neuro=5\r\n",
       kAuth, kCoupon + "B---00491711234567;<code>;04.12.2027;Neuregistrierung;5;04.12.2026;-",
       "receiver=00491711234567&sender=Basic&msg=Hallo Anna Muster-Meier, Ihr Gutschein <code> über 5 Euro",
       "B---04.12.2026;1;1;5;12345;Basic"},
      {"abs=Bar%20Nord\r\nmsg=Code%20<C>!\r\ncoupon=0\r\neuro=7,5\r\n", "/quorvalis/DATA/demo/smsauthpro.ini",
       "", "receiver=00491711234567&sender=Bar Nord&msg=Code !", "B---04.12.2026;1;0;7;12345;Bar Nord"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log.toStdString());
    settings(c.clients);
    fakes.server.reply(kAuth, "");  // only that sender's account
    fakes.server.reply(c.account, kAccount);
    save();
    const QString code = screen->couponcode();
    EXPECT_EQ(code.size(), c.coupon.isEmpty() ? 0 : 4);
    EXPECT_EQ(requestsTo(kCoupon).join(u' '), QString(c.coupon).replace("<code>", code));
    const QString sms = kGate + "gate1/send?" + QString(c.sms).replace("<code>", code) + "&id=acc&pw=pw&msgtype=t";
    EXPECT_EQ(requestsTo(kGate), QStringList{sms});
    EXPECT_EQ(requestsTo(kSending), QStringList{kSending + c.log});
    EXPECT_EQ(label1(), text(t::kSmsSent));
  }
}

TEST_F(NewGuestTest, WelcomeStopsAtAFailureOrTriesTheNextGateway) {
  const QString failed = text(t::kSmsFailed);
  // gates: the replies of gate1 to gate3; then how many requests the account, gateways and log got.
  const struct { QString booked, account; QStringList gates; QString message; int accounts, gateways, logs; }
      cases[] = {
      {"", kAccount, {"OK", "OK", "OK"}, text(t::kSaveFailed), 0, 0, 0},
      {"OK", kAccount, {"E042", "OK", "E3"}, text(t::kSmsSent), 1, 2, 1},
      {"OK", kAccount, {"E1", "E2", "E3"}, failed + "E3", 1, 3, 0},
      {"OK", "", {"OK", "OK", "OK"}, failed + "no", 1, 0, 0},  // no account: no gateway either
  };
  settings("msg=Hallo\r\ncoupon=1\r\neuro=5\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    fakes.server.reply(kCoupon, c.booked);
    fakes.server.reply(kAuth, c.account);
    for (int i = 0; i < 3; ++i)
      fakes.server.reply(kGate + QStringLiteral("gate%1").arg(i + 1), c.gates[i]);
    save();
    EXPECT_EQ(label1(), c.message);
    EXPECT_EQ(requestsTo(kAuth).size(), c.accounts);
    EXPECT_EQ(requestsTo(kSending).size(), c.logs);
    const QStringList gateways = requestsTo(kGate);
    ASSERT_EQ(gateways.size(), c.gateways);
    for (int i = 1; i < c.gateways; ++i)
      EXPECT_EQ(gateways[i], QString(gateways[0]).replace("gate1", QStringLiteral("gate%1").arg(i + 1)));
  }
}

}  // namespace
}  // namespace quorvalis
