#include <gtest/gtest.h>

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "common/text.h"
#include "fakes.h"
#include "platform/card_reader.h"
#include "platform/program_folder.h"
#include "program_folder_test.h"
#include "server/http_central_server.h"
#include "shell/main_screen.h"
#include "zentrale_process.h"

namespace quorvalis {
namespace {

class TerminalStartTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    ASSERT_TRUE(zentrale.started());
    writeBytes("install.ini", "[server]\r\nhost=" + zentrale.host().toLatin1() + "\r\ntimeout=10\r\n");
  }
  bool requested(const QByteArray& target) const {
    return zentrale.requestLog().contains(target);
  }
  testing::ZentraleProcess zentrale;
};

TEST_F(TerminalStartTest, BandReachesTheServerOverRealHttp) {
  SystemClock clock;
  HttpCentralServer server(readServerSettings());
  LibraryCardReader reader;
  testing::RecordingDesktop desktop;
  testing::ScriptedDialogs dialogs;
  testing::RecordingPrinterSystem printers;
  Services services{clock, server, reader, desktop, dialogs, printers};
  TerminalState state;
  MainScreen band(services, state, "DEMO01");
  band.show();
  band.timer2Tick();

  EXPECT_EQ(band.findChild<QLabel*>("quorvalStatus")->text(), "Server OK");
  EXPECT_EQ(band.findChild<QLabel*>("quorvalName")->text(), "Demo Filiale");
  EXPECT_TRUE(band.findChild<QPushButton*>("Butt1")->isEnabled());
  EXPECT_EQ(state.HalleName, "Bar Nord Demo");
  EXPECT_TRUE(fromCp1252(readBytes("filialini.ini")).contains(QString::fromUtf8("über")));
  EXPECT_TRUE(readBytes("rss.ini").startsWith("[rss]\r\nmain=1\r\n"));
  EXPECT_EQ(desktop.autostart, programFile("no_quorval"));
  EXPECT_TRUE(requested("/quorvalis/update/filial.ini"));
  EXPECT_TRUE(requested("/quorvalis/DATA/filiale.cgi?DEMO01"));
  EXPECT_TRUE(requested("/quorvalis/DATA/demo/filialen/.ini"));
  EXPECT_TRUE(requested("/quorvalis/DATA/demo/filial.ini"));
}

TEST_F(TerminalStartTest, RealExecutableStartsHeadlessAndRunsOnce) {
  writeBytes("cl.ini", "[start]\r\nlog=1\r\nID=DEMO01\r\n");
  QProcess terminal;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUORVALIS_HOME", folder());
  terminal.setProcessEnvironment(env);
  terminal.start(QStringLiteral(QUORVAL_BINARY), {});
  ASSERT_TRUE(terminal.waitForStarted(10000));

  // The remembered branch logs in by itself; 2.5 s later the band fetches its configuration.
  EXPECT_TRUE(QTest::qWaitFor([&] { return requested("/quorvalis/DATA/demo/rss.ini"); }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return exists("filialini.ini") && exists("rss.ini"); }, 5000));
  EXPECT_EQ(terminal.state(), QProcess::Running);

  // A second start ends at once and leaves the first one running.
  QProcess second;
  second.setProcessEnvironment(env);
  second.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(terminal.state(), QProcess::Running);

  terminal.kill();
  terminal.waitForFinished(5000);
  // A crashed terminal's lock does not keep the next one out.
  QProcess third;
  third.setProcessEnvironment(env);
  third.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_FALSE(third.waitForFinished(1500));
  third.kill();
  third.waitForFinished(5000);
}

}  // namespace
}  // namespace quorvalis
