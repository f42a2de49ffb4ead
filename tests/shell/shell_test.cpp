#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/program_folder.h"
#include "screen_test.h"
#include "settings/settings_files.h"
#include "shell/band_layout.h"
#include "shell/main_screen.h"
#include "shell/start_form.h"
#include "shell/watchdog.h"

namespace quorvalis::testing {

// A foreign window in front gets the band clicked or the tile pointed at; blanks and "3D-" mid-title don't count.
TEST(BandLayout, SmallestScreenIs600PixelsHighAndTheWatchdogClicksTheBandOrPointsAtTheTile) {
  EXPECT_FALSE(screenLargeEnough(15360, 8985));
  EXPECT_LT(bandLayout(15360, 9000).Butt2.right(), bandLayout(15360, 9000).Picture2.left());
  EXPECT_FALSE(watchdogStep("  Screen Saver  ", QRect(0, 9500, 19200, 2500)));
  const auto onBand = watchdogStep("Mein 3D-Spiel", QRect(0, 9500, 19200, 2500));
  const auto onTile = watchdogStep("Editor", QRect(18420, 11220, 780, 780));
  ASSERT_TRUE(onBand && onTile);
  EXPECT_EQ(QList({onBand->firstMove, onBand->secondMove.value_or(QPoint()), onTile->firstMove}),
            QList({QPoint(640, 688), QPoint(640, 748), QPoint(1228 + 2, 748 + 1)}));
  EXPECT_TRUE(onBand->click && !onTile->click && !onTile->secondMove);
  EXPECT_EQ(normalisedPosition(9600, 12000, 19200, 12000), QPoint(32767, 65535));
}

using StartFormTest = ScreenTest<StartForm>;

// Both need an ID (unticking forgets it); a remembered ID logs in at once only when longer than five.
TEST_F(StartFormTest, LoginAndRememberedId) {
  screen = std::make_unique<StartForm>(fakes.services);
  const auto seen = [this] {  // cl.ini's log and ID, then the box and the field as the form shows them
    const bool ticked = child<QCheckBox>("Check1")->isChecked();
    return readSetting(keys::kLog) + "/" + readSetting(keys::kId) + (ticked ? " [x] " : " [ ] ") + screen->branchId();
  };
  QSignalSpy login(screen.get(), &StartForm::login);
  for (const char* control : {"Command1", "Check1"}) child<QAbstractButton>(control)->click();
  EXPECT_FALSE(exists("cl.ini"));
  child<QLineEdit>("Text1")->setText("FIL001");
  for (const char* control : {"Check1", "Command1"}) child<QAbstractButton>(control)->click();
  EXPECT_EQ(QString::number(login.count()) + " " + login.value(0).value(0).toString() + " " + seen(),
            "1 FIL001 1/FIL001 [x] FIL001");
  child<QCheckBox>("Check1")->click();
  EXPECT_EQ(seen(), "0/ [ ] ");

  const struct { const char* file; bool autoLogin; const char* seen; } cases[] = {
      {"log=1\r\nID=ABCDE", false, "1/ABCDE [x] ABCDE"}, {"log=1\r\nID=ABCDEF", true, "1/ABCDEF [x] ABCDEF"},
      {"log=0\r\nID=ABCDEF", false, "0/ABCDEF [ ] "},    {"log=1", false, "1/ [x] "},
      {"log=01\r\nID=ABCDEF", false, "01/ABCDEF [ ] "}};  // only the single character 1 is on
  for (const auto& c : cases) {
    writeBytes("cl.ini", QByteArray("[start]\r\n") + c.file + "\r\n");
    screen = std::make_unique<StartForm>(fakes.services);
    EXPECT_EQ(screen->load(), c.autoLogin) << c.file;
    EXPECT_EQ(seen(), c.seen) << c.file;
  }
}

const QString kLookup = "/quorvalis/DATA/filiale.cgi?FIL001", kBranch = "demo;Demo%20Filiale;Bar%20Nord;12345";
const QString kCommon = "/quorvalis/DATA/demo/filial.ini", kRss = "/quorvalis/DATA/demo/rss.ini",
              kVersion = "/quorvalis/update/filial.ini";

class MainScreenTest : public ScreenTest<MainScreen> {
 protected:
  MainScreenTest() {
    state = TerminalState();  // the band fills it from the branch's reply
    fakes.server.reply(kLookup, kBranch);
    fakes.server.reply(kVersion, "F106");
  }
  // The band as the program makes it, then (run) its start sequence 2.5 s later.
  void start(const QString& clients = {}, bool run = true) {
    if (!clients.isEmpty()) fakes.server.reply(kCommon, "[clients]\r\n" + clients);
    screen = std::make_unique<MainScreen>(fakes.services, state, "FIL001");
    screen->screens.settings = [this](bool modal) { opened << (modal ? "settings modal" : "settings"); };
    screen->screens.ticker = [this](bool on) { opened << (on ? "ticker on" : "ticker off"); };
    screen->show();
    if (run) screen->timer2Tick();
  }
  void tick1(int n) { for (int i = 0; i < n; ++i) screen->timer1Tick(); }
  // Name / status, then the buttons that take touches and whether the quit button shows.
  QString view() {
    return label("quorvalName") + " / " + label("quorvalStatus") + " |" +
           (child("Butt1")->isEnabled() ? " Butt1" : "") + (child("Butt2")->isEnabled() ? " Butt2" : "") +
           (shown("ende") ? " ende" : "");
  }

  QStringList opened;  // the screens the band opened or closed, in order
};

// A screen too small for the band is tried again 2.5 s later, without a server after 99 ticks.
TEST_F(MainScreenTest, WithoutServerOrRoomTheBandRetriesAndLaterChecksForUpdates) {
  fakes.server.reply(kLookup, "");
  fakes.desktop.screen = QSize(1023, 800);
  start("automin=0");
  EXPECT_EQ(view(), " / Server failed | ende");
  fakes.desktop.screen = QSize(1024, 600);
  screen->timer2Tick();
  EXPECT_EQ(view(), "warte auf Internetverbindung... / Server failed | ende");
  tick1(99);
  fakes.server.reply(kLookup, kBranch);  // back for the retry, which checks for an update first
  EXPECT_EQ(requestsFor([this] { screen->timer2Tick(); }).value(0), kVersion);
  EXPECT_EQ(view(), "Demo Filiale / Server OK | Butt1 Butt2");
  EXPECT_FALSE(child<QTimer>("Timer1")->isActive() || child<QTimer>("Timer2")->isActive());  // automin=0

  // A check that falls due while a screen or a modal screen waits for the person runs on the
  // first tick after both have closed.
  bool settingsOpen = true;
  screen->screens.othersOpen = [&settingsOpen] { return settingsOpen; };
  EXPECT_EQ(requestsFor([this] { for (int i = 0; i < 8461; ++i) screen->timerUpdateTick(); }), QStringList());
  state.nominimize = "1";
  settingsOpen = false;
  EXPECT_EQ(requestsFor([this] { screen->timerUpdateTick(); }), QStringList());
  state.nominimize = "0";
  EXPECT_EQ(requestsFor([this] { screen->timerUpdateTick(); screen->timerUpdateTick(); }), QStringList{kVersion});
  EXPECT_EQ(screen->uptime(), 4);

  fakes.desktop.screen = QSize(1023, 800);  // a band that cannot run: its quit button ends the program
  start();
  QTest::mouseClick(child("ende"), Qt::LeftButton);
  EXPECT_EQ(fakes.desktop.ended, 1);
  EXPECT_EQ(fakes.desktop.endReason, "the band's quit button");  // planned: the guard restarts nothing
}

TEST_F(MainScreenTest, AutoShrinkToTheTileUnlessAScreenIsOpenAndSettingsNeedAPassword) {
  start("automin=1");
  tick1(98);
  EXPECT_FALSE(screen->tileShown());
  tick1(1);
  EXPECT_EQ(screen->geometry(), QRect(1280 - 52, 800 - 52, 52, 52));
  QTest::mouseClick(child("Picture3"), Qt::LeftButton);
  // Back as the band, with the countdown started again; a modal screen freezes it until it closes.
  EXPECT_TRUE(screen->geometry() == QRect(0, 633, 1280, 166) && child<QTimer>("Timer1")->isActive());
  tick1(10);
  state.nominimize = "1";
  tick1(200);
  screen->Picture1_Click();
  auto* progress = child<QProgressBar>("ProgressBar1");
  EXPECT_EQ(QString::number(progress->value()) + (screen->tileShown() ? " tile" : ""), "10");
  screen->Form_Activate();
  EXPECT_EQ(state.nominimize + " " + QString::number(progress->value()), "0 0");

  // Settings open with the password or the service code; an unreadable password leaves the service code only.
  const QString geheim = "1111111111^[]Y\\_00";  // "123456789geheim", A = 1, B = 00: character i minus i
  const struct { QString pass; const char* entry; bool opens; } cases[] = {  // no entry: it times out
      {geheim, "falsch", false}, {geheim, "geheim", true}, {geheim, "58302719", true}, {geheim, nullptr, false},
      {"12", "", false}, {"12", "58302719", true}};
  for (const auto& c : cases) {
    opened.clear();
    start("pass=" + c.pass);
    screen->Picture2_Click();
    EXPECT_TRUE(shown("pwd"));
    child<QLineEdit>("pwd")->setText(c.entry ? c.entry : "12");
    if (c.entry) QTest::keyClick(child("pwd"), Qt::Key_Return);
    else tick1(99);
    EXPECT_EQ(opened.join(","), c.opens ? "settings modal" : "") << c.entry;
    EXPECT_FALSE(shown("pwd") || shown("pwdok") || shown("tasta2") || !child<QLineEdit>("pwd")->text().isEmpty());
  }
}

// What the start ends in, by the update check's reply and the branch file's; a program that
// does not start leaves the old terminal running, and the download is bounded.
TEST_F(MainScreenTest, StartOutcomes) {
  fakes.server.offerDownload("/quorvalis/update/F108.exe", "#!/bin/sh\n");
  const QString ok = "[clients]\r\nautomin=0";
  const struct { QString version; const char* installed; QString config, seen; bool starts = true; const char* failed = ""; } cases[] = {  // installed: its file
      {"", nullptr, ok, "runs"}, {"F106", nullptr, ok, "runs"},  // no version.ini counts as F106
      {"F107", "[Version]\r\nfilial=F107\r\n", ok, "runs"},
      {"F107", nullptr, ok, "download, runs: Fehler: Update-Download ERROR 04.12.2026 14:30:05"},
      {"F108", nullptr, ok, "download, runs: Fehler: Update-Download ERROR 04.12.2026 14:30:05", false},
      {"F108", nullptr, ok, "runs", true, "F108"},  // the installer failed with F108: once left alone
      {"F109", nullptr, ok, "download, runs: Fehler: Update-Download ERROR 04.12.2026 14:30:05", true, "F108"},
      {"F108", nullptr, ok, "download, ended before the lookup"},
      {"F106", nullptr, "<h1>404 File Not Found</h1>", "ended: Hinweis: Es wurde keine Filialdatei gefunden"},
  };
  for (const auto& c : cases) {
    QFile::remove(path("version.ini"));
    if (c.installed) writeBytes("version.ini", c.installed);
    if (*c.failed) writeBytes("update.ini", QByteArray("[failed]\r\nversion=") + c.failed + "\r\n");
    fakes.server.reply(kVersion, c.version);
    fakes.server.reply("/quorvalis/DATA/demo/filial", c.config);  // numbered and common file
    fakes.server.downloadRequests.clear();
    fakes.desktop.startsHeld = c.starts;
    const QStringList requests = requestsFor([this] { start(); });
    QString seen = fakes.server.downloadRequests.isEmpty() ? "" : "download, ";
    seen += screen->ending() ? "ended" : "runs";
    if (!requests.contains(kLookup)) seen += " before the lookup";
    if (!fakes.dialogs.messages.isEmpty()) seen += ": " + fakes.dialogs.messages.takeFirst().section(". ", 0, 0);
    EXPECT_EQ(seen, c.seen) << c.version.toStdString();
    EXPECT_EQ(fakes.desktop.ended, screen->ending() ? 1 : 0) << c.version.toStdString();
    EXPECT_FALSE(exists("update.ini")) << c.version.toStdString();
    fakes.desktop.ended = 0;
  }
  EXPECT_EQ(fakes.desktop.started, QStringList(2, programFolder() + "/ F108.exe"));
  EXPECT_EQ(fakes.desktop.startedBytes, "#!/bin/sh\n");
  const DownloadLimits limits = fakes.server.lastLimits;  // unsigned: 512 MB in 15 minutes at most
  EXPECT_EQ(QList<qint64>({limits.maxBytes, limits.deadlineMs, limits.keepFree > 0}), QList<qint64>({512 << 20, 900000, 1}));
  writeBytes("filialini.ini", "[clients]\r\nautomin=0\r\n");
  fakes.server.reply(kLookup, "-");  // an unknown branch (no directory) asks for no branch file and runs on
  EXPECT_EQ(requestsFor([this] { start(); screen->Butt1_Click(); }).filter("DATA//"), QStringList());
  EXPECT_EQ(readBytes("filialini.ini"), "[clients]\r\nautomin=0\r\n");
  EXPECT_EQ(fakes.desktop.ended, 0);
}

// Only the new-guest button reloads the configuration (numbered file first); screens open with nominimize.
TEST_F(MainScreenTest, BandButtonsReloadBranchAndConfiguration) {
  fakes.server.reply(kRss, "[rss]\r\nmain=2");
  start("automin=0\r\nwin=2", false);
  for (const char* button : {"Butt1", "Butt2", "Picture1"}) QTest::mouseClick(child(button), Qt::LeftButton);
  EXPECT_FALSE(screen->tileShown() || !fakes.server.requests.isEmpty() || !opened.isEmpty());  // not started yet
  screen->timer2Tick();
  EXPECT_EQ(fakes.desktop.autostart(), programFile("no_" + executableName()));
  writeBytes("cl.ini", "[start]\r\nFL=12\r\n");
  fakes.server.reply(kLookup, "demo;Demo%20Filiale;Bar%20Nord%20Neu;54321");
  fakes.server.reply(kRss, "[rss]\r\nmain=0");
  fakes.server.reply(kCommon, "[clients]\r\nautomin=0\r\nkats=1\r\nwin=1");
  screen->screens.newGuest = [this] { opened << "guests " + state.nominimize + (shown("moment") ? " moment" : ""); };
  screen->screens.coupons = [this] { opened << "coupons " + state.nominimize + (shown("moment") ? " moment" : ""); };
  EXPECT_EQ(requestsFor([this] { QTest::mouseClick(child("Butt1"), Qt::LeftButton); }),
            (QStringList{kLookup, "/quorvalis/DATA/demo/filialen/12.ini", kCommon, kRss}));
  EXPECT_EQ(state.HalleName + "/" + state.HallePLZ + " " + readSetting(keys::kKats), "Bar Nord Neu/54321 1");
  EXPECT_EQ(fakes.desktop.autostart(), programFile(executableName()));
  EXPECT_EQ(requestsFor([this] { QTest::mouseClick(child("Butt2"), Qt::LeftButton); }), QStringList{kLookup});
  screen->Picture2_Click();
  EXPECT_EQ(opened, (QStringList{"ticker on", "ticker off", "guests 1", "coupons 1", "settings"}));
}

}  // namespace quorvalis::testing
