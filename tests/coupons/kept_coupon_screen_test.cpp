#include <QTest>

#include "../guests/opening_state.h"
#include "coupons/coupon_screen.h"
#include "fakes.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

const QString kLookup = "/quorvalis/DATA/searchc.cgi?";

// The band keeps one coupon screen; the server finds a valid coupon and deletes it when asked.
class KeptCouponTest : public ProgramFolderTest {
 protected:
  KeptCouponTest() {
    fakes.server.reply(kLookup, "1234;05.01.2027;Cocktail;5;x;;-;");
    fakes.server.reply("/quorvalis/DATA/delcoupon.cgi?", "OK");
  }
  // What the screen shows and runs, and what it keeps for the redemption.
  static QStringList seen(const CouponScreen& s) {
    return screenState(s) << QStringLiteral("idle %1 closed %2 value %3 receipt %4")
                                 .arg(s.idleSeconds())
                                 .arg(s.closedItself())
                                 .arg(s.geldwert(), s.receipt().join(u'|'));
  }

  FakeServices fakes;
  TerminalState state = bandState();
  KeptScreen<CouponScreen> kept{
      [this] { return std::make_unique<CouponScreen>(fakes.services, state); }};
};

namespace {
void touch(QWidget& s, const char* name) {
  QTest::mouseClick(s.findChild<QWidget*>(name), Qt::LeftButton);
}
QLineEdit* data(CouponScreen& s, int i) {
  return s.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i));
}
void fill(CouponScreen& s) {
  for (int i = 0; i < 3; ++i) data(s, i)->setText(QStringList{"0171", "1234567", "1234"}[i]);
}
}  // namespace

// Whatever the last look-up or redemption left and however the screen closed, it opens again as
// a new screen opens, with the number a card hands over then: fields empty and enabled, the
// first hint in its own colour, no result, no receipt, the keypad shown, every timer anew.
TEST_F(KeptCouponTest, OpensAgainAsNew) {
  using Step = std::function<void(CouponScreen&)>;
  const Step byKey = [](CouponScreen& s) { touch(s, "ABBRUCH"); };
  const Step byEscape = [](CouponScreen& s) { QTest::keyClick(&s, Qt::Key_Escape); };
  const Step byCountdown = [](CouponScreen& s) {
    for (int ticks = 0; !s.closedItself() && ticks < 500; ++ticks) s.timer1Tick();
  };
  const Step byIdleWatch = [](CouponScreen& s) {
    for (int ticks = 0; !s.closedItself() && ticks < 500; ++ticks) s.timer2Tick();
  };
  const QByteArray card = "[temp]\r\nnr=00491609876543\r\n";
  const struct {
    const char* what;
    QByteArray clients, cardFirst,
        cardThen;  // the branch's settings; a card's number, at each opening
    Step use, close;
  } rows[] = {
      {"a code typed on the keypad, a valid coupon found, left by its key", "", card, "",
       [](CouponScreen& s) {
         s.timer1Tick();  // half a second: the focus goes to the first field
         data(s, 2)->setFocus();
         for (const char* key :
              {"cmdNumeric_1", "cmdNumeric_2", "cmdNumeric_3", "cmdNumeric_4", "cmdEnterNum"})
           touch(s, key);
         touch(s, "Datapr");
       },
       byKey},
      {"redeemed with a receipt, closed by its countdown", "print=1\r\n", "", card,
       [](CouponScreen& s) {
         fill(s);
         s.cmdEnterNum_Click();
         s.Datapr_Click();
         s.guteinl_Click();
       },
       byCountdown},
      {"a wrong prefix typed on a real keyboard, left by Escape", "", card, card,
       [](CouponScreen& s) {
         data(s, 0)->setFocus();
         QTest::keyClicks(data(s, 0), "171");
         QTest::keyClick(data(s, 0), Qt::Key_Return);  // emptied again, but undoable
       },
       byEscape},
      {"nothing found, closed by the idle watch", "", "", "",
       [this](CouponScreen& s) {
         fakes.server.reply(kLookup, "");
         fill(s);
         s.Datapr_Click();
         fakes.server.reply(kLookup, "1234;05.01.2027;Cocktail;5;x;;-;");
       },
       byIdleWatch},
  };
  writeBytes("filialini.ini", "[clients]\r\n");
  kept.prepare();  // made ahead, resting
  CouponScreen& screen = *kept.screen();
  EXPECT_TRUE(screen.isHidden() && runningTimers(screen).isEmpty());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    writeBytes("filialini.ini", "[clients]\r\n" + row.clients);
    writeBytes("cl.ini", row.cardFirst);
    useAndClose(screen, [this] { kept.exec(); }, row, seen);

    writeBytes("cl.ini", row.cardThen);
    QStringList again, fresh;
    whileOpen(
        screen, [this] { kept.exec(); }, [&] { again = seen(screen); });
    CouponScreen made(fakes.services, state);
    whileOpen(
        made, [&] { made.exec(); },
        [&] {
          fresh = seen(made);
          EXPECT_EQ(runningTimers(made), (QStringList{"Timer1", "Timer2"}));
        });
    EXPECT_EQ(differences(again, fresh), QStringList());  // < opened again, > opened new
  }
}

}  // namespace quorvalis::testing
