// The screens against zentrale run as a real process, the demo branch set up as the band would.
#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include "cardsim_control.h"
#include "club/club_screen.h"
#include "common/text.h"
#include "coupons/coupon_screen.h"
#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "guests/texts.h"
#include "platform/screen_host.h"
#include "program_folder_test.h"
#include "recording_http_server.h"
#include "server/branch_configuration.h"
#include "server/http_central_server.h"
#include "shell/main_screen.h"
#include "ticker/ticker_screen.h"
#include "zentrale_process.h"

namespace quorvalis::testing {

inline QString label(const QWidget& screen, const char* name) { return screen.findChild<QLabel*>(name)->text(); }
inline void fill(QWidget& screen, const QStringList& values) {
  for (int i = 0; i < values.size(); ++i) screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
}

template <class Printers = RecordingPrinterSystem, int kTimeoutMs = 10000>
class DemoBranchTest : public ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    ASSERT_TRUE(zentrale.started());
    state.quorvalisID = "DEMO01";
    state.HalleName = "Bar Nord Demo";
    ASSERT_EQ(downloadBranchConfiguration(server, state.quorvalverz, ""), Download::kWritten);
  }
  // What the new-guest screen says to the form as filled in, then to the confirmation if given.
  QString registerGuest(const QStringList& values, bool confirm = false) {
    NewGuestScreen screen(services, state);
    screen.sexPictureTouched(false);
    fill(screen, values);
    screen.Datapr_Click();
    const QString seen = label(screen, "Label1");
    if (confirm) screen.findChild<QPushButton*>("Datapr")->click();
    return confirm ? seen + " / " + label(screen, "Label1") : seen;
  }
  // What the coupon screen says to 0171 1234567's coupon, and to its redemption if redeemed.
  QString coupon(const QString& code, bool redeem) {
    CouponScreen screen(services, state);
    fill(screen, {"0171", "1234567", code});
    screen.cmdEnterNum_Click();
    screen.Datapr_Click();
    if (redeem) screen.guteinl_Click();
    return redeem ? label(screen, "Label1") + " / " + label(screen, "Label4") : label(screen, "Label1");
  }
  // The news strip's channel caption and its first entry, the branch feed switched on.
  QString strip() {
    writeBytes("rss.ini", "[rss]\r\nmain=1\r\n");
    TickerScreen ticker(state, feeds, [] { return false; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ticker.scrollText().isEmpty(); }, 10000));
    return ticker.caption(0) + '|' + ticker.scrollText();
  }

  ZentraleProcess zentrale;
  HttpCentralServer server{{zentrale.host(), kTimeoutMs}};
  HttpFeedSource feeds{{zentrale.host(), kTimeoutMs}};
  FixedClock clock;
  MemoryCardReader reader;
  RecordingDesktop desktop;
  ScriptedDialogs dialogs;
  Printers printers;
  Services services{clock, server, reader, desktop, dialogs, printers};
  TerminalState state = bandState();  // branch directory "demo", postcode 12345
};

}  // namespace quorvalis::testing
