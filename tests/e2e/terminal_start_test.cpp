#include <QProcess>

#include "demo_branch.h"

namespace quorvalis::testing {

using TerminalStartTest = ProgramFolderTest;

// The program as installed: the remembered branch logs in by itself and the band fetches its
// configuration; one terminal at a time, but a crashed one does not keep the next out.
TEST_F(TerminalStartTest, RealExecutableReachesTheBandAndRunsOnce) {
  ZentraleProcess zentrale;
  ASSERT_TRUE(zentrale.started());
  writeBytes("install.ini", "[server]\r\nhost=" + zentrale.host().toLatin1() + "\r\ntimeout=10\r\n");
  writeBytes("cl.ini", "[start]\r\nlog=1\r\nID=DEMO01\r\n");
  QProcess first, second, third;  // offscreen, in the test's program folder, as the test itself
  first.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_TRUE(QTest::qWaitFor([&] { return exists("rss.ini") && exists("filialini.ini"); }, 20000));
  EXPECT_TRUE(fromCp1252(readBytes("filialini.ini")).contains(QString::fromUtf8("über")));
  for (const char* target : {"/quorvalis/update/filial.ini", "/quorvalis/DATA/filiale.cgi?DEMO01",
                             "/quorvalis/DATA/demo/filialen/.ini", "/quorvalis/DATA/demo/filial.ini"})
    EXPECT_TRUE(zentrale.requestLog().contains(target)) << target;

  second.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(5000);
  third.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_FALSE(third.waitForFinished(1500));
  third.kill();
  third.waitForFinished(5000);
}

}  // namespace quorvalis::testing
