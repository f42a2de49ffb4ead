#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "program_folder_test.h"

namespace quorvalis {
namespace {

const QString kSearch = "/quorvalis/DATA/search2.cgi?";
const QString kAdd = "/quorvalis/DATA/addclient.cgi?";
const QString kCoupon = "/quorvalis/DATA/addcoupon.cgi?";
const QString kAuth = "/quorvalis/DATA/demo/smsauth.ini";
const QString kSending = "/quorvalis/DATA/smssending.cgi?";
const QString kGate = "http://gw.example/";

class NewGuestTest : public testing::ProgramFolderTest {
 protected:
  void settings(const QByteArray& clients) { writeBytes("filialini.ini", "[clients]\r\n" + clients); }
  NewGuestScreen& open() {
    screen = std::make_unique<NewGuestScreen>(fakes.services, state);
    return *screen;
  }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  QWidget* child(const QString& name) { return screen->findChild<QWidget*>(name); }
  QString label1() { return screen->findChild<QLabel*>("Label1")->text(); }
  QPushButton* datapr() { return screen->findChild<QPushButton*>("Datapr"); }
  bool marked(int i) { return !child(QStringLiteral("ok_%1").arg(i))->isHidden(); }
  void fill(const QStringList& values) {
    for (int i = 0; i < values.size(); ++i) data(i)->setText(values[i]);
  }
  // A woman with a complete, valid entry.
  void typeGuest(const QString& number = "1234567", const QString& day = "07",
                 const QString& month = "03") {
    screen->sexPictureTouched(true);
    fill({"Anna", "Muster-Meier", "0171", number, day, month, "1990"});
  }
  QStringList requestsTo(const QString& prefix) {
    QStringList out;
    for (const QString& r : fakes.server.requests)
      if (r.startsWith(prefix)) out << r;
    return out;
  }

  testing::FakeServices fakes;
  TerminalState state = testing::bandState();
  std::unique_ptr<NewGuestScreen> screen;
};

TEST_F(NewGuestTest, FieldTouchedBeforeTheSexIsChosen) {
  open();
  screen->timer1Tick();  // half a second after opening: the focus action for field 0
  EXPECT_EQ(label1(), QString::fromUtf8("Bitte Mann oder Frau wählen."));
  screen->DATA_GotFocus(3);
  EXPECT_EQ(screen->currentField(), -1);
  EXPECT_TRUE(child("cmdAlpha_1")->isHidden());
  EXPECT_TRUE(child("cmdNumeric_1")->isHidden());
  screen->sexPictureTouched(false);
  screen->DATA_GotFocus(3);
  EXPECT_EQ(screen->currentField(), 3);
  EXPECT_EQ(label1(), "Bitte Handy - Nummer eingeben.");
  EXPECT_FALSE(child("cmdNumeric_1")->isHidden());
  EXPECT_TRUE(child("cmdAlpha_1")->isHidden());
  EXPECT_FALSE(child("background")->isHidden());
  screen->DATA_GotFocus(0);
  EXPECT_FALSE(child("cmdAlpha_1")->isHidden());
  EXPECT_TRUE(child("cmdNumeric_1")->isHidden());
}

TEST_F(NewGuestTest, SexPicturesBlinkUntilChosen) {
  open();
  EXPECT_EQ(screen->findChild<QTimer*>("Timer3")->interval(), 750);
  screen->timer3Tick();
  EXPECT_TRUE(child("m0")->isHidden());
  EXPECT_FALSE(child("m02")->isHidden());
  EXPECT_FALSE(child("w0")->isHidden());
  screen->timer3Tick();
  EXPECT_FALSE(child("m0")->isHidden());
  EXPECT_FALSE(child("w02")->isHidden());
  QTest::mouseClick(child("w02"), Qt::LeftButton);
  EXPECT_FALSE(screen->findChild<QTimer*>("Timer3")->isActive());
  EXPECT_FALSE(child("w1")->isHidden());
  EXPECT_FALSE(child("m0")->isHidden());
  for (const char* hidden : {"w0", "m1", "m02", "w02", "Label4"}) EXPECT_TRUE(child(hidden)->isHidden()) << hidden;
  QTest::mouseClick(child("m0"), Qt::LeftButton);  // switching the choice
  EXPECT_FALSE(child("m1")->isHidden());
  EXPECT_TRUE(child("w1")->isHidden());
}

TEST_F(NewGuestTest, EnterEmptiesAndFocusesOnlyTheFirstWrongField) {
  open();
  typeGuest();
  data(1)->setText("Mu");
  data(3)->setText("12345");
  screen->enterPressed();
  EXPECT_TRUE(marked(1));
  EXPECT_TRUE(marked(3));
  EXPECT_FALSE(marked(2));
  EXPECT_EQ(data(1)->text(), "");
  EXPECT_EQ(data(3)->text(), "12345");
  EXPECT_EQ(screen->currentField(), 1);
  EXPECT_TRUE(datapr()->isHidden());

  data(1)->setText("Muster");
  data(3)->setText("123456");
  screen->enterPressed();
  EXPECT_FALSE(datapr()->isHidden());
  EXPECT_EQ(datapr()->text(), QString::fromUtf8("Handynummer prüfen und den Gast für die Newsletter speichern."));
  EXPECT_TRUE(child("Label1")->isHidden());
  EXPECT_TRUE(child("cmdEnterNum")->isHidden());
  data(3)->setText("1234567");  // any change withdraws the save button
  EXPECT_TRUE(datapr()->isHidden());
}

TEST_F(NewGuestTest, PhysicalEnterChecksAndNeverReachesTheField) {
  open();
  screen->sexPictureTouched(true);
  screen->DATA_GotFocus(0);
  data(0)->setText("Al");
  QTest::keyClick(data(0), Qt::Key_Return);
  EXPECT_EQ(data(0)->text(), "");  // failed, emptied: no line break went in
  EXPECT_TRUE(marked(0));
}

TEST_F(NewGuestTest, NameIsTidiedWhenItLosesTheFocus) {
  open();
  screen->sexPictureTouched(true);
  data(1)->setText(QString::fromUtf8("hans-peter  müller"));
  screen->DATA_LostFocus(1);
  EXPECT_EQ(data(1)->text(), QString::fromUtf8("Hans Peter Müller"));
  data(3)->setText("hans-peter");
  screen->DATA_LostFocus(3);
  EXPECT_EQ(data(3)->text(), "hans-peter");
}

TEST_F(NewGuestTest, DoubleNameKeepsItsHyphenWhenSavedFromTheField) {
  fakes.server.reply(kSearch, "0-0-0");
  fakes.server.reply(kAdd, "OK");
  open();
  screen->show();
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
  typeGuest();
  data(1)->setFocus();
  data(1)->setText("Muster Meier");
  screen->enterPressed();  // passes: "Muster-Meier", the field keeps the focus
  ASSERT_EQ(data(1)->text(), "Muster-Meier");
  ASSERT_TRUE(data(1)->hasFocus());
  screen->Datapr_Click();  // leaving the field tidies it; the record still has the hyphen
  ASSERT_EQ(requestsTo(kAdd).size(), 1);
  EXPECT_TRUE(requestsTo(kAdd)[0].contains(";Anna;Muster-Meier;")) << requestsTo(kAdd)[0].toStdString();
  EXPECT_TRUE(requestsTo(kSearch)[0].contains("---Muster-Meier---"));
}

TEST_F(NewGuestTest, CategoryBoxesFromKats) {
  settings("kats=3\r\n");
  open();
  auto* b = screen->findChild<QCheckBox*>("kat_1");
  EXPECT_TRUE(b->isChecked());
  EXPECT_FALSE(b->isEnabled());
  EXPECT_TRUE(b->isHidden());
  settings("kats=1\r\n");
  open();
  for (int i = 0; i < 6; ++i) {
    auto* box = screen->findChild<QCheckBox*>(QStringLiteral("kat_%1").arg(i));
    EXPECT_FALSE(box->isHidden());
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->isEnabled());
  }
  settings("kats=9\r\n");  // a category beyond F is ignored
  open();
  EXPECT_FALSE(screen->findChild<QCheckBox*>("kat_5")->isChecked());
}

TEST_F(NewGuestTest, IdleForMoreThan120SecondsCloses) {
  open();
  EXPECT_TRUE(screen->findChild<QTimer*>("Timer3")->isActive());  // still blinking
  for (int i = 0; i < 120; ++i) screen->timer2Tick();
  EXPECT_FALSE(screen->closedItself());
  screen->timer2Tick();
  EXPECT_TRUE(screen->closedItself());
  EXPECT_EQ(state.nominimize, "0");
}

TEST_F(NewGuestTest, InputResetsTheIdleCounter) {
  open();
  screen->sexPictureTouched(true);
  screen->DATA_GotFocus(0);
  for (int i = 0; i < 100; ++i) screen->timer2Tick();
  QTest::mouseClick(child("cmdAlpha_1"), Qt::LeftButton);
  EXPECT_EQ(screen->idleSeconds(), 0);
}

TEST_F(NewGuestTest, ClosingCountdownClosesOnThe99thTick) {
  open();
  screen->BeginClosingCountdown();
  EXPECT_EQ(child("ABBRUCH")->property("text").toString(), "verlassen");
  EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 200);
  for (int i = 0; i < 98; ++i) screen->timer1Tick();
  EXPECT_FALSE(screen->closedItself());
  EXPECT_EQ(state.nominimize, "1");
  screen->timer1Tick();
  EXPECT_TRUE(screen->closedItself());
  EXPECT_EQ(state.nominimize, "0");
}

TEST_F(NewGuestTest, NewGuestIsCreatedWithTheExactRequests) {
  fakes.server.reply(kSearch, "0-0-0");
  fakes.server.reply(kAdd, "OK");
  open();
  typeGuest("0234567", "7", "3");
  screen->Datapr_Click();
  EXPECT_EQ(fakes.server.requests,
            (QStringList{kSearch + "B---00491710234567---Anna---Muster-Meier---07.03.1990",
                         kAdd + "B---00491710234567;Anna;Muster-Meier;07.03.1990;"
                                "12345-Bar Nord;04.12.2026;ABCDEFWN"}));
  EXPECT_EQ(data(4)->text(), "07");
  EXPECT_EQ(data(5)->text(), "03");
  // msg is "NO" by default: no coupon, no SMS, the countdown starts at once.
  EXPECT_EQ(label1(), "Datensatz am Server angelegt.");
  EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 200);
}

TEST_F(NewGuestTest, EveryDuplicateCheckOutcome) {
  const struct {
    QString reply;
    const char* message;
  } cases[] = {
      {"2-0-0", "Der Kunde ist bereits für den Newsletter eingetragen. Diese Handy-Nummer ist "
                "bereits gespeichert."},
      {"---", "Der Kunde ist bereits für den Newsletter eingetragen aber von der Zentrale "
              "gesperrt worden."},
      {"0-2-1", "Der Kunde ist bereits für den Newsletter eingetragen. Dieser Name und "
                "Geburtstag ist bereits gespeichert."},
      {"", "Es ist ein Problem aufgetreten. Die Datenbank ist nicht erreichbar."},
      {"<h1>Server Error</h1>", "Es ist ein Problem aufgetreten. Die Datenbank ist nicht erreichbar."},
  };
  for (const auto& c : cases) {
    fakes.server.requests.clear();
    fakes.server.reply(kSearch, c.reply);
    open();
    typeGuest();
    screen->Datapr_Click();
    EXPECT_EQ(label1(), QString::fromUtf8(c.message)) << c.reply.toStdString();
    EXPECT_TRUE(requestsTo(kAdd).isEmpty()) << c.reply.toStdString();
    EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 200) << c.reply.toStdString();
  }
}

TEST_F(NewGuestTest, DuplicateNameIsCreatedAfterConfirmation) {
  fakes.server.reply(kSearch, "0-3-0");
  fakes.server.reply(kAdd, "OK");
  open();
  typeGuest();
  screen->Datapr_Click();
  EXPECT_EQ(label1(), QString::fromUtf8("Der Name ist bereits 3x für den Newsletter eingetragen ! "
                                        "Bitte Eingaben überprüfen. Trotzdem anlegen ?"));
  EXPECT_EQ(datapr()->text(), QString::fromUtf8("Bitte nochmals bestätigen."));
  EXPECT_FALSE(datapr()->isHidden());
  EXPECT_TRUE(requestsTo(kAdd).isEmpty());
  EXPECT_EQ(screen->findChild<QTimer*>("Timer1")->interval(), 100);  // still busy

  QTest::mouseClick(datapr(), Qt::LeftButton);
  EXPECT_EQ(requestsTo(kSearch).size(), 2);
  EXPECT_EQ(requestsTo(kAdd).size(), 1);
  EXPECT_EQ(label1(), "Datensatz am Server angelegt.");
}

// A second touch of the save button while the server checks would otherwise be delivered
// afterwards, on the button that now asks to confirm a duplicate name.
TEST_F(NewGuestTest, SecondTouchWhileTheServerChecksIsDropped) {
  fakes.server.reply(kSearch, "0-3-0");
  fakes.server.reply(kAdd, "OK");
  open();
  screen->show();
  typeGuest();
  fakes.server.whileWaiting = [this](const QString&) { QTest::mouseClick(datapr(), Qt::LeftButton); };
  QTest::mouseClick(datapr(), Qt::LeftButton);
  EXPECT_EQ(requestsTo(kSearch).size(), 1);
  EXPECT_TRUE(requestsTo(kAdd).isEmpty());
  EXPECT_EQ(datapr()->text(), QString::fromUtf8("Bitte nochmals bestätigen."));
}

TEST_F(NewGuestTest, CreationRefused) {
  fakes.server.reply(kSearch, "0-0-0");
  fakes.server.reply(kAdd, "FEHLER");
  open();
  typeGuest();
  screen->Datapr_Click();
  EXPECT_EQ(label1(), QString::fromUtf8("Fehler beim speichern. Bitte überprüfen Sie die Internetverbindung."));
}

class WelcomeTest : public NewGuestTest {
 protected:
  void SetUp() override {
    NewGuestTest::SetUp();
    fakes.server.reply(kSearch, "0-0-0");
    fakes.server.reply(kAdd, "OK");
    fakes.server.reply(kCoupon, "OK");
    fakes.server.reply(kAuth, "acc-pw-" + kGate + "gate1/send?");
    fakes.server.reply(kSending, "OK");
  }
  void registerGuest() {
    open();
    typeGuest("0234567");
    screen->Datapr_Click();
  }
};

TEST_F(WelcomeTest, CouponAndSmsWithTheTemplateFilledIn) {
  writeBytes("filialini.ini", "[clients]\r\nmsg=Hallo%20<VN>%20<NN>,%20Ihr%20Gutschein%20<C>"
                              "%20\xFC" "ber%20<E>%20Euro\r\ncoupon=1\r\neuro=5\r\n");
  fakes.server.reply(kGate, "OK");
  registerGuest();
  const QString code = screen->couponcode();
  ASSERT_EQ(code.size(), 4);
  EXPECT_EQ(requestsTo(kCoupon),
            QStringList{kCoupon + "B---00491710234567;" + code +
                        ";04.12.2027;Neuregistrierung;5;04.12.2026;-"});
  EXPECT_EQ(requestsTo(kGate),
            QStringList{kGate + QString::fromUtf8("gate1/send?receiver=00491710234567&sender=Basic"
                                                  "&msg=Hallo Anna Muster-Meier, Ihr Gutschein ") +
                        code + QString::fromUtf8(" über 5 Euro&id=acc&pw=pw&msgtype=t")});
  EXPECT_EQ(requestsTo(kSending), QStringList{kSending + "B---04.12.2026;1;1;5;12345;Basic"});
  EXPECT_EQ(label1(), "Die SMS wurde erfolgreich versendet.");
}

TEST_F(WelcomeTest, NoMessageMeansNoFurtherRequest) {
  for (const char* msg : {"NO", "-"}) {
    fakes.server.requests.clear();
    settings(QByteArray("msg=") + msg + "\r\ncoupon=1\r\n");
    registerGuest();
    EXPECT_EQ(fakes.server.requests.size(), 2) << msg;  // duplicate check and creation only
    EXPECT_EQ(label1(), "Datensatz am Server angelegt.");
  }
}

TEST_F(WelcomeTest, FailedBookingStopsBeforeTheSms) {
  settings("msg=Hallo\r\ncoupon=1\r\neuro=5\r\n");
  fakes.server.reply(kCoupon, "");
  registerGuest();
  EXPECT_EQ(label1(), QString::fromUtf8("Fehler beim speichern. Bitte überprüfen Sie die Internetverbindung."));
  EXPECT_TRUE(requestsTo(kAuth).isEmpty());
  EXPECT_TRUE(requestsTo(kGate).isEmpty());
}

TEST_F(WelcomeTest, SecondGatewayAfterAnError) {
  settings("msg=Hallo\r\ncoupon=0\r\neuro=5\r\n");
  fakes.server.reply(kGate + "gate1", "E042");
  fakes.server.reply(kGate + "gate2", "OK");
  registerGuest();
  const QStringList gateways = requestsTo(kGate);
  ASSERT_EQ(gateways.size(), 2);
  EXPECT_TRUE(gateways[0].startsWith(kGate + "gate1/"));
  EXPECT_EQ(gateways[1], QString(gateways[0]).replace("gate1", "gate2"));
  EXPECT_EQ(requestsTo(kSending).size(), 1);
  EXPECT_EQ(label1(), "Die SMS wurde erfolgreich versendet.");
}

TEST_F(WelcomeTest, AllGatewaysFailingShowsTheLastReply) {
  settings("msg=Hallo\r\n");
  fakes.server.reply(kGate + "gate1", "E1");
  fakes.server.reply(kGate + "gate2", "E2");
  fakes.server.reply(kGate + "gate3", "E3");
  registerGuest();
  EXPECT_EQ(requestsTo(kGate).size(), 3);
  EXPECT_TRUE(requestsTo(kSending).isEmpty());
  EXPECT_EQ(label1(), "Fehler beim Versenden der SMS - Fehlercode - E3");
}

TEST_F(WelcomeTest, MissingCredentialsGiveNo) {
  settings("msg=Hallo\r\n");
  fakes.server.reply(kAuth, "");
  registerGuest();
  EXPECT_EQ(label1(), "Fehler beim Versenden der SMS - Fehlercode - no");
}

TEST_F(WelcomeTest, NoCouponLeavesTheCodeEmpty) {
  settings("msg=Code%20<C>!\r\ncoupon=0\r\neuro=5\r\n");
  fakes.server.reply(kGate, "OK");
  registerGuest();
  EXPECT_TRUE(requestsTo(kCoupon).isEmpty());
  ASSERT_EQ(requestsTo(kGate).size(), 1);
  EXPECT_TRUE(requestsTo(kGate)[0].contains("&msg=Code !&id="));
  EXPECT_EQ(requestsTo(kSending), QStringList{kSending + "B---04.12.2026;1;0;5;12345;Basic"});
}

}  // namespace
}  // namespace quorvalis
