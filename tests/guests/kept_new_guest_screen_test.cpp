#include <QTest>

#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "opening_state.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

// The band keeps one new-guest screen; every request answers as for a new guest.
class KeptNewGuestTest : public ProgramFolderTest {
 protected:
  KeptNewGuestTest() {
    for (const char* ok : {"/quorvalis/DATA/addclient.cgi?", "/quorvalis/DATA/addcoupon.cgi?",
                           "/quorvalis/DATA/smssending.cgi?", "http://gw.example/"})
      fakes.server.reply(ok, "OK");
    fakes.server.reply("/quorvalis/DATA/search2.cgi?", "0-0-0");
    fakes.server.reply("/quorvalis/DATA/demo/smsauth.ini", "acc-pw-http://gw.example/gate1/send?");
  }
  void settings(const QByteArray& clients) {
    writeBytes("filialini.ini", "[clients]\r\n" + clients);
  }
  // What the screen shows and runs, and what it keeps for the guest.
  static QStringList seen(const NewGuestScreen& s) {
    return screenState(s) << QStringLiteral("field %1 idle %2 closed %3 record %4 coupon %5")
                                 .arg(s.currentField())
                                 .arg(s.idleSeconds())
                                 .arg(s.closedItself())
                                 .arg(s.datensatz(), s.couponcode());
  }

  FakeServices fakes;
  TerminalState state = bandState();
  KeptScreen<NewGuestScreen> kept{
      [this] { return std::make_unique<NewGuestScreen>(fakes.services, state); }};
};

namespace {
QWidget* child(QWidget& s, const char* name) { return s.findChild<QWidget*>(name); }
void fill(NewGuestScreen& s, const QStringList& values) {
  for (int i = 0; i < values.size(); ++i)
    s.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
}
}  // namespace

// Whatever a guest left on the screen and however it closed, it opens again as a new screen
// opens, with the branch's settings as they are then: nothing typed, no mark, no keyboard, no
// question or result, the pictures blinking from the start, every timer started anew.
TEST_F(KeptNewGuestTest, OpensAgainAsNew) {
  const QStringList valid{"Anna", "Muster", "0171", "1234567", "07", "03", "1990"};
  using Step = std::function<void(NewGuestScreen&)>;
  const Step byKey = [](NewGuestScreen& s) {
    QTest::mouseClick(child(s, "ABBRUCH"), Qt::LeftButton);
  };
  const Step byEscape = [](NewGuestScreen& s) { QTest::keyClick(&s, Qt::Key_Escape); };
  const Step byCountdown = [](NewGuestScreen& s) {
    for (int ticks = 0; !s.closedItself() && ticks < 500; ++ticks) s.timer1Tick();
  };
  const Step byIdleWatch = [](NewGuestScreen& s) {
    for (int ticks = 0; !s.closedItself() && ticks < 500; ++ticks) s.timer2Tick();
  };
  const struct {
    const char* what;
    QByteArray first, then;  // the branch's settings at the first opening and at the next
    Step use, close;
  } rows[] = {
      {"typed on the keys and a real keyboard, marked wrong, left by its key", "kats=1\r\n",
       "kats=3\r\n",
       [](NewGuestScreen& s) {
         s.timer1Tick();  // half a second: field 0 wants the focus, the pictures ask first
         QTest::mouseClick(child(s, "w0"), Qt::LeftButton);
         s.timer1Tick();
         s.findChild<QLineEdit*>("DATA_0")->setFocus();
         for (const char* key : {"cmdAlpha_1", "cmdAlpha_13", "cmdSpace"})
           QTest::mouseClick(child(s, key), Qt::LeftButton);
         QTest::mouseClick(child(s, "kat_2"), Qt::LeftButton);
         QTest::keyClicks(s.findChild<QLineEdit*>("DATA_3"), "12ab");
         s.enterPressed();  // checked: the first wrong field marked, emptied, its keys shown
       },
       byKey},
      {"a namesake asked about, left by Escape", "msg=-\r\n", "kats=1\r\nmsg=-\r\n",
       [this, valid](NewGuestScreen& s) {
         fakes.server.reply("/quorvalis/DATA/search2.cgi?", "0-3-0");
         s.sexPictureTouched(false);
         fill(s, valid);
         s.Datapr_Click();
         fakes.server.reply("/quorvalis/DATA/search2.cgi?", "0-0-0");
       },
       byEscape},
      {"welcomed with a coupon and an SMS, closed by its countdown",
       "msg=Hallo\r\ncoupon=1\r\neuro=5\r\nkats=1\r\n", "msg=Hallo\r\ncoupon=1\r\neuro=5\r\n",
       [valid](NewGuestScreen& s) {
         s.sexPictureTouched(true);
         fill(s, valid);
         s.Datapr_Click();
       },
       byCountdown},
      {"left alone blinking in the first field until the idle watch closed it", "", "",
       [](NewGuestScreen& s) {
         s.timer1Tick();
         for (int i = 0; i < 3; ++i) s.timer3Tick();
       },
       byIdleWatch},
  };
  kept.prepare();  // made ahead, resting
  NewGuestScreen& screen = *kept.screen();
  EXPECT_TRUE(screen.isHidden() && runningTimers(screen).isEmpty());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    settings(row.first);
    useAndClose(screen, [this] { kept.exec(); }, row, seen);

    settings(row.then);
    QStringList again, fresh;
    whileOpen(
        screen, [this] { kept.exec(); }, [&] { again = seen(screen); });
    NewGuestScreen made(fakes.services, state);
    whileOpen(
        made, [&] { made.exec(); },
        [&] {
          fresh = seen(made);
          EXPECT_EQ(runningTimers(made),
                    (QStringList{"Timer1", "Timer2", "Timer3"}));  // pictures blinking
        });
    EXPECT_EQ(differences(again, fresh), QStringList());  // < opened again, > opened new
  }
}

}  // namespace quorvalis::testing
