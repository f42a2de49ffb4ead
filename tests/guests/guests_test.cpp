#include <gtest/gtest.h>

#include <QTest>

#include "guests/new_guest_screen.h"
#include "guests/registration.h"
#include "guests/texts.h"
#include "kept_screen_test.h"

namespace quorvalis::testing {

// Runs of 2 to 6 blanks: one pass each for 2, 3 and 4, none looking at its own result.
TEST(GuestEntry, TidyNameAndEachFieldsRule) {
  const struct { const char *in, *out; } cases[] = {
      {"hans-peter  müller", "Hans Peter Müller"}, {"anna_lena", "Anna Lena"}, {" otto", " Otto"},
      {"o'neil", "O'neil"}, {"", ""}, {"a  b", "A B"}, {"a   b", "A  B"}, {"a    b", "A  B"},
      {"a     b", "A B"}, {"a      b", "A B"}};
  for (const auto& c : cases) EXPECT_EQ(tidyName(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;

  // after: the name as written back, blanks turned into hyphens and none left at the end.
  const struct { int field; const char *value; bool fails; const char* after = nullptr; } fields[] = {
      {2, "0171", false}, {2, "171", true},      {2, "01711", true},  {2, "0271", true},   {3, "12345", true},
      {3, "123456", false}, {4, "0", true},      {4, "31", false},    {4, "32", true},     {4, "7", false},
      {5, "13", true},      {5, "12", false},    {5, "0", true},      {6, "2008", false},  {6, "2009", true},
      {6, "1899", true},    {6, "1900", false},  {0, "Al", true},     {0, "Al ", false, "Al"}, {0, "", true},
      {1, "Hans Peter Müller  ", false, "Hans-Peter-Müller"},
      // Only letters, blanks, "-", "'" and "." in names; only digits in the number fields.
      {0, "José", false},   {1, "O'Neil-Brown", false}, {1, "St. Müller", false}, {0, "Ann;a", true},
      {1, "Mus---ter", true}, {1, "Mus--ter", false}, {1, "Max#1", true},  {1, "A&B=C", true},
      {3, "12345a", true},  {4, "7.", true},       {6, "19 90", true},  {2, "01-1", true}};
  for (const auto& c : fields) {
    GuestFields f{"Anna", "Muster-Meier", "0171", "1234567", "07", "03", "1990"};
    f[static_cast<size_t>(c.field)] = QString::fromUtf8(c.value);
    const auto failed = checkEntries(f, 2026);
    for (int i = 0; i < kGuestFields; ++i) EXPECT_EQ(failed[static_cast<size_t>(i)], i == c.field && c.fails)
        << "field " << c.field << " = '" << c.value << "', checking field " << i;
    if (c.after) { EXPECT_EQ(f[static_cast<size_t>(c.field)], QString::fromUtf8(c.after)); }
  }
}

TEST(DuplicateReply, ResultCodeAndOutcome) {
  using O = CheckOutcome;
  const struct { QString reply; bool question; const char* code; CheckOutcome outcome; } cases[] = {
      {"0-0-0", false, "OK", O::kCreate},   {"2-0-0", false, "--", O::kNumberKnown},
      {"1-3-1", true, "--", O::kNumberKnown}, {"---", false, "---", O::kBlocked},
      {"0-3-0", false, "----", O::kAskName},  {"0-3-0", true, "OK", O::kCreate},
      {"0-2-1", false, "-----", O::kNameAndBirthdayKnown}, {"0-2-1", true, "OK", O::kCreate},
      {"0-0-1", true, "-----", O::kNameAndBirthdayKnown},  {"", false, "", O::kNoDatabase},
      // Not the script's answer: no answer, neither "number known" nor a new guest.
      {"0-0-0\r\n", false, "OK", O::kCreate},     {"abc", false, "", O::kNoDatabase},
      {"<html>500 Internal Server Error</html>", false, "", O::kNoDatabase}, {"0-0-0-", false, "", O::kNoDatabase}};
  for (const auto& c : cases) {
    const CheckResult result = checkResultCode(c.reply, c.question);
    EXPECT_EQ(result.code, QString::fromLatin1(c.code)) << c.reply.toStdString();
    EXPECT_EQ(decideOutcome(result.code), c.outcome) << c.reply.toStdString();
  }
}

// Valid for a year (29 February to 28 February); every draw is a four-digit code, itself.
TEST(WelcomeCoupon, ValidForAYearWithFourDigitCodes) {
  for (int n = 0; n <= 9999; ++n) {
    const QString code = couponCode(n);
    ASSERT_TRUE(code.size() == 4 && code.toInt() == n) << n << " gives " << code.toStdString();
  }
  EXPECT_EQ(couponValidity(QDate(2026, 12, 4)), QDate(2027, 12, 4));
  EXPECT_EQ(couponValidity(QDate(2028, 2, 29)), QDate(2029, 2, 28));
  EXPECT_EQ(couponValidity(QDate(2027, 2, 28)), QDate(2028, 2, 28));
}

namespace t = guest_texts;

const QString kSearch = "/quorvalis/DATA/search2.cgi?";
const QString kAdd = "/quorvalis/DATA/addclient.cgi?";
const QString kCoupon = "/quorvalis/DATA/addcoupon.cgi?";
const QString kAuth = "/quorvalis/DATA/demo/smsauth.ini";
const QString kSending = "/quorvalis/DATA/smssending.cgi?";
const QString kGate = "http://gw.example/";
const QString kAccount = "acc-pw-" + kGate + "gate1/send?";

// Every request succeeds unless a test says otherwise; without "msg" no SMS is sent.
class NewGuestTest : public KeptScreenTest<NewGuestScreen> {
 protected:
  NewGuestTest() {
    for (const QString& ok : {kAdd, kCoupon, kSending, kGate}) fakes.server.reply(ok, "OK");
    fakes.server.reply(kSearch, "0-0-0");
    fakes.server.reply(kAuth, kAccount);
    kept_ = [](const NewGuestScreen& s) {
      return QStringLiteral("field %1 idle %2 closed %3 record %4 coupon %5")
          .arg(s.currentField()).arg(s.idleSeconds()).arg(s.closedItself()).arg(s.datensatz(), s.couponcode());
    };
  }
  // Which of the named widgets are shown.
  QString shownAmong(const QString& names) {
    QStringList out;
    for (const QString& name : names.split(u' ')) if (shown(name)) out << name;
    return out.join(u' ');
  }
  // A woman with a complete, valid entry.
  void save() {
    fakes.server.requests.clear();
    open();
    screen->sexPictureTouched(true);
    fill({"Anna", "Muster-Meier", "0171", "1234567", "07", "03", "1990"});
    screen->Datapr_Click();
  }
};

// From the blinking pictures through the checks on Enter to the saved guest: leaving a name
// field tidies it, a double name typed with a blank still goes out hyphenated when the save
// button is touched straight from the field. Without a message that is all; then it closes
// when left alone.
TEST_F(NewGuestTest, EntryJourneyThenEveryDuplicateCheckOutcome) {
  const QString marks = "ok_0 ok_1 ok_2 ok_3 ok_4 ok_5 ok_6";
  settings("coupon=1\r\nmsg=-\r\n");
  open();
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  screen->timer1Tick();  // half a second after opening: field 0 wants the focus, no picture yet
  EXPECT_EQ(label("Label1") + QString::number(screen->currentField()), QString(t::kChooseSex) + "-1");
  QTest::mouseClick(child("w02"), Qt::LeftButton);
  EXPECT_EQ(shownAmong("m0 m02 m1 w0 w02 w1 Label4"), "m0 w1");
  QTest::mouseClick(child("m0"), Qt::LeftButton);  // switching the choice: a man in the end
  screen->DATA_GotFocus(2);
  EXPECT_EQ(label("Label1") + " " + shownAmong("cmdAlpha_1 cmdNumeric_1"), QString(t::kPrompts[2]) + " cmdNumeric_1");
  screen->DATA_GotFocus(1);
  EXPECT_EQ(shownAmong("cmdAlpha_1 cmdNumeric_1"), "cmdAlpha_1");
  fill({"Anna", "Mu", "hans-peter", "0234567", "7", "3", "1990"});
  screen->enterPressed();  // only the first wrong field is emptied and focused
  EXPECT_EQ(shownAmong(marks) + "/" + data(1)->text() + "/" + QString::number(screen->currentField()), "ok_1 ok_2//1");
  screen->DATA_LostFocus(2);
  EXPECT_EQ(data(2)->text(), "hans-peter");
  data(1)->setText("hans-peter  müller");
  screen->DATA_LostFocus(1);
  EXPECT_EQ(data(1)->text(), "Hans Peter Müller");
  data(2)->setText("0171");
  screen->enterPressed();
  EXPECT_EQ(shownAmong("Datapr Label1 cmdEnterNum"), "Datapr");
  data(1)->setText("Al");  // any change withdraws the save button
  EXPECT_TRUE(child("Datapr")->isHidden());
  data(1)->setFocus();  // the Return key of a real keyboard checks too, never typing
  QTest::keyClick(data(1), Qt::Key_Return);
  EXPECT_EQ(data(1)->text() + shownAmong(marks), "ok_1");
  data(1)->setText("Muster Meier");
  screen->enterPressed();  // passes: "Muster-Meier", the field keeps the focus
  ASSERT_TRUE(data(1)->text() == "Muster-Meier" && data(1)->hasFocus());
  screen->Datapr_Click();
  EXPECT_EQ(fakes.server.requests, (QStringList{kSearch + "B---00491710234567---Anna---Muster-Meier---07.03.1990",
                                                kAdd + "B---00491710234567;Anna;Muster-Meier;07.03.1990;"
                                                       "12345-Bar Nord;04.12.2026;ABCDEFMN"}));
  EXPECT_EQ(data(4)->text() + data(5)->text() + label("Label1"), "0703" + QString(t::kCreated));
  int ticks = 0;
  for (; !screen->closedItself() && ticks < 500; ++ticks) screen->timer2Tick();
  EXPECT_EQ(ticks, 121);
  EXPECT_EQ(state.nominimize, "0");

  // Each duplicate check outcome ends with the closing countdown, but a namesake's question,
  // which waits for the person (its answer: the journeys against zentrale) and is left open
  // here for the next opening; without a message nothing follows the creation.
  const struct { QString reply, created; const char* message; int requests; } cases[] = {
      {"2-0-0", "OK", t::kNumberKnown, 1},          {"---", "OK", t::kBlocked, 1},
      {"0-3-0", "OK", nullptr, 1},                  {"0-2-1", "OK", t::kNameAndBirthdayKnown, 1},
      {"", "OK", t::kNoDatabase, 1},                {"0-0-0", "FEHLER", t::kSaveFailed, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.toStdString() + " " + c.created.toStdString());
    fakes.server.reply(kSearch, c.reply);
    fakes.server.reply(kAdd, c.created);
    save();
    EXPECT_EQ(fakes.server.requests.size(), c.requests);
    if (!c.message) {
      EXPECT_TRUE(label("Label1").contains(QString(t::kQuestionMarker)) && shown("Datapr") && !screen->closedItself());
      continue;
    }
    EXPECT_EQ(label("Label1") + "|" + child("ABBRUCH")->property("text").toString(), QString(c.message) + "|" + t::kLeave);
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
  const QString sent = t::kSmsSent, failed = t::kSmsFailed;
  const struct {
    QByteArray clients; QString account, booked; QStringList gates; QString coupon, sms, log, message; int gateways;
  } cases[] = {
      {"msg=Hallo%20<VN>%20<NN>,%20Ihr%20Gutschein%20<C>%20\xFC" "ber%20<E>%20Euro\r\ncoupon=1\r\neuro=5\r\n",
       kAuth, "OK", {"OK", "OK", "OK"}, booking,
       toAnna + " Anna Muster-Meier, Ihr Gutschein <code> über 5 Euro", log, sent, 1},
      {"abs=Bar%20Nord\r\nmsg=Code%20<C>!\r\ncoupon=0\r\neuro=7,5\r\n", "/quorvalis/DATA/demo/smsauthpro.ini",
       "OK", {"OK", "OK", "OK"}, "", "receiver=00491711234567&sender=Bar Nord&msg=Code !",
       "B---04.12.2026;1;0;7;12345;Bar Nord", sent, 1},
      {hallo, kAuth, "", {"OK", "OK", "OK"}, booking, "", "", QString(t::kSaveFailed), 0},
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
    EXPECT_EQ(label("Label1"), c.message);
  }
}

}  // namespace quorvalis::testing
